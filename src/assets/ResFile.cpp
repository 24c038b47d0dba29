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
    // A directory that cannot fit in the file is refused before anything is
    // allocated for it, as if its read had failed.
    if (!lumpfile::DirectoryFits(length, header.dirOffset, header.numLumps, LUMP_SIZE)) {
        stream.close();
        return false;
    }
    try {
        lumps.resize(header.numLumps);
    } catch (const std::bad_alloc&) {
        stream.close();
        return false;
    }

    stream.seekg(header.dirOffset, std::ios::beg);
    for (RESLUMP& lump : lumps) {
        unsigned char entry[LUMP_SIZE];
        if (!stream || !stream.read(reinterpret_cast<char*>(entry), LUMP_SIZE)) {
            stream.close(); // the directory stays until Close
            return false;
        }
        lump.size = lumpfile::U32(entry);
        lump.offset = lumpfile::U32(entry + 4);
        lump.type = lumpfile::U32(entry + 8);
        lump.alphaMode = lumpfile::U32(entry + 12);
    }
    if (!stream) {
        stream.close();
        return false;
    }
    return true;
}

bool RESFILE::SeekLump(int n) {
    if (!stream.is_open() || lumps.empty()) {
        return false;
    }
    if (n < 0 || uint32_t(n) >= header.numLumps || size_t(n) >= lumps.size()) {
        return false;
    }
    // An earlier failed read is not cleared: the seek then fails as well.
    stream.seekg(lumps[n].offset, std::ios::beg);
    return !stream.fail();
}

void RESFILE::Close() {
    std::vector<RESLUMP>().swap(lumps);
    if (stream.is_open()) {
        stream.close();
    }
}
