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
    for (DATALUMP& lump : lumps) {
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

bool DATAFILE::SeekLump(int n) {
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

void DATAFILE::Close() {
    std::vector<DATALUMP>().swap(lumps);
    if (stream.is_open()) {
        stream.close();
    }
}
