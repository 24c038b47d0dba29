#include "assets/ResFile.h"

#include "assets/LumpFile.h"

#include <cstring>
#include <new>

RESFILE::~RESFILE() {
    Close();
}

bool RESFILE::Open(const char* path) {
    Close();
    uint64_t length = 0;
    if (!lumpfile::OpenMeasured(stream, path, &length)) {
        return false;
    }
    fileSize = uint32_t(length);

    unsigned char bytes[HEADER_SIZE];
    if (!stream.read(reinterpret_cast<char*>(bytes), HEADER_SIZE)) {
        return false; // the stream stays open until Close
    }
    header = RESFILEHEADER();
    std::memcpy(header.magic, bytes, 4);
    header.numLumps = lumpfile::U32(bytes + 12);
    header.sizeCheck = lumpfile::U32(bytes + 16);
    header.dirOffset = lumpfile::U32(bytes + 20);

    if (std::memcmp(header.magic, "DWKF", 4) != 0) {
        stream.close();
        return false;
    }
    if (header.sizeCheck != ~fileSize) {
        stream.close();
        return false;
    }
    return lumpfile::ReadDirectory(stream, length, header.dirOffset, header.numLumps, LUMP_SIZE,
                                   lumps);
}

bool RESFILE::SeekLump(int n) {
    return lumpfile::SeekLump(stream, lumps, header.numLumps, n);
}

void RESFILE::Close() {
    lumpfile::Close(stream, lumps);
}
