#include "assets/DataFile.h"

#include "assets/LumpFile.h"

#include <cstring>
#include <new>

DATAFILE::~DATAFILE() {
    Close();
}

bool DATAFILE::Open(const char* path) {
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
    header = DATAFILEHEADER();
    std::memcpy(header.name, bytes, 50);
    std::memcpy(header.magic, bytes + 50, 4);
    header.versionMinor = bytes[54];
    header.versionMajor = bytes[55];
    header.flags = lumpfile::U32(bytes + 56);
    header.numLumps = lumpfile::U32(bytes + 60);
    header.sizeCheck = lumpfile::U32(bytes + 64);
    header.dirOffset = lumpfile::U32(bytes + 68);
    header.tag = bytes[72];
    header.alpha = bytes[73];

    if (std::memcmp(header.magic, "TUMB", 4) != 0) {
        stream.close();
        return false;
    }
    if (header.sizeCheck != ~fileSize) {
        stream.close();
        return false;
    }
    const bool versionKnown =
        header.versionMajor == 0 || (header.versionMajor == 1 && header.versionMinor == 0);
    if (!versionKnown) {
        return false;
    }
    if (header.flags & 1u) {
        return false;
    }
    return lumpfile::ReadDirectory(stream, length, header.dirOffset, header.numLumps, LUMP_SIZE,
                                   lumps);
}

bool DATAFILE::SeekLump(int n) {
    return lumpfile::SeekLump(stream, lumps, header.numLumps, n);
}

void DATAFILE::Close() {
    lumpfile::Close(stream, lumps);
}
