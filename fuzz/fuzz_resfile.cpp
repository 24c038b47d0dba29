// The resource container: open it, seek to every lump and decode the images.
#include "FuzzInput.h"
#include "assets/ResFile.h"
#include "assets/TGALoader.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzinput::Init();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    RESFILE file;
    if (file.Open(fuzzinput::Write(data, size))) {
        const int count = int(file.header.numLumps);
        for (int i = 0; i < count; i++) {
            if (file.SeekLump(i) && file.lumps[i].type == 1) {
                Texture texture;
                LoadTGA2(&texture, &file.stream);
            }
        }
        file.SeekLump(-1);
        file.SeekLump(count);
    }
    file.SeekLump(0);
    file.Close();
    return 0;
}
