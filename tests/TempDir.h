#ifndef TUMBLIX_TESTS_TEMPDIR_H
#define TUMBLIX_TESTS_TEMPDIR_H

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// A fresh folder under $TMPDIR or /tmp, removed with its contents when the
// object goes.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return dir; }
    std::string operator/(const std::string& name) const { return dir + "/" + name; }
    // The folder with a trailing "/", as the engine's folder texts have it.
    std::string slash() const { return dir + "/"; }
    std::string Subdir(const std::string& name) const; // created

  private:
    std::string dir;
};

// The whole of a file as bytes; empty when it cannot be read.
inline std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Little-endian fields in a file's bytes.
inline uint32_t U32At(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}
inline void PutU32At(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; i++) {
        b[at + i] = uint8_t(v >> (8 * i));
    }
}

#endif
