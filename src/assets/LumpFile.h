#ifndef TUMBLIX_ASSETS_LUMPFILE_H
#define TUMBLIX_ASSETS_LUMPFILE_H

// Small helpers shared by the two container readers.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <new>
#include <system_error>
#include <vector>

namespace lumpfile {

inline uint32_t U32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Opens path for binary reading and measures it, leaving the stream at offset
// 0. Only regular files are opened: opening a FIFO would block for ever, and
// a device has no length to check against.
inline bool OpenMeasured(std::ifstream& stream, const char* path, uint64_t* length) {
    if (path == nullptr) {
        return false;
    }
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        return false;
    }
    stream.open(path, std::ios::in | std::ios::binary);
    if (!stream.is_open()) {
        return false;
    }
    stream.seekg(0, std::ios::end);
    const std::streamoff end = stream.tellg();
    stream.seekg(0, std::ios::beg);
    if (end < 0 || !stream) {
        stream.setstate(std::ios::failbit);
        return false;
    }
    *length = uint64_t(end);
    return true;
}

// Whether count entries of entrySize bytes from offset lie inside the file.
inline bool DirectoryFits(uint64_t length, uint32_t offset, uint32_t count, uint32_t entrySize) {
    return offset <= length && uint64_t(count) * entrySize <= length - offset;
}

// Reads the directory of count entries of entrySize bytes at offset: each
// entry starts with size, offset, type and alphaMode. A directory that cannot
// fit in the file is refused before anything is allocated for it, as if its
// read had failed. On any failure the stream is closed; entries read so far
// stay until the reader is closed.
template <typename Lump>
bool ReadDirectory(std::ifstream& stream, uint64_t length, uint32_t offset, uint32_t count,
                   uint32_t entrySize, std::vector<Lump>& lumps) {
    if (!DirectoryFits(length, offset, count, entrySize)) {
        stream.close();
        return false;
    }
    try {
        lumps.resize(count);
    } catch (const std::bad_alloc&) {
        stream.close();
        return false;
    }
    stream.seekg(offset, std::ios::beg);
    std::vector<unsigned char> entry(entrySize);
    for (Lump& lump : lumps) {
        if (!stream || !stream.read(reinterpret_cast<char*>(entry.data()), entrySize)) {
            stream.close();
            return false;
        }
        lump.size = U32(&entry[0]);
        lump.offset = U32(&entry[4]);
        lump.type = U32(&entry[8]);
        lump.alphaMode = U32(&entry[12]);
    }
    if (!stream) {
        stream.close();
        return false;
    }
    return true;
}

// Positions the stream at lump n's body. An earlier failed read is not
// cleared: the seek then fails as well.
template <typename Lump>
bool SeekLump(std::ifstream& stream, const std::vector<Lump>& lumps, uint32_t numLumps, int n) {
    if (!stream.is_open() || lumps.empty()) {
        return false;
    }
    if (n < 0 || uint32_t(n) >= numLumps || size_t(n) >= lumps.size()) {
        return false;
    }
    stream.seekg(lumps[n].offset, std::ios::beg);
    return !stream.fail();
}

template <typename Lump> void Close(std::ifstream& stream, std::vector<Lump>& lumps) {
    std::vector<Lump>().swap(lumps);
    if (stream.is_open()) {
        stream.close();
    }
}

} // namespace lumpfile

#endif
