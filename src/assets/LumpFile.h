#ifndef TUMBLIX_ASSETS_LUMPFILE_H
#define TUMBLIX_ASSETS_LUMPFILE_H

// Small helpers shared by the two container readers.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <system_error>

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

} // namespace lumpfile

#endif
