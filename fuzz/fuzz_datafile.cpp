// A bottle data file: open it, seek to every lump and decode the images.
#include "FuzzInput.h"
#include "assets/DataFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzinput::WalkLumps<DATAFILE>(data, size);
    return 0;
}
