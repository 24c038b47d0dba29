// The resource container: open it, seek to every lump and decode the images.
#include "FuzzInput.h"
#include "assets/ResFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzinput::WalkLumps<RESFILE>(data, size);
    return 0;
}
