#ifndef TUMBLIX_ASSETS_RESFILE_H
#define TUMBLIX_ASSETS_RESFILE_H

#include <cstdint>
#include <fstream>
#include <vector>

// Header of the resource container, 24 bytes at the start of the file. The
// eight reserved bytes after the magic are not read.
struct RESFILEHEADER {
    char magic[4] = {}; // "DWKF"
    uint32_t numLumps = 0;
    uint32_t sizeCheck = 0; // complement of the file's length
    uint32_t dirOffset = 0;
};

// One directory entry of the resource container, 28 bytes in the file (the
// last twelve are reserved and not read).
struct RESLUMP {
    uint32_t size = 0;
    uint32_t offset = 0;    // from the start of the file
    uint32_t type = 0;      // 1: a TGA image
    uint32_t alphaMode = 0; // 0 opaque, 1 colour key, 2 brightness
};

// Reader of the resource container that holds the fonts and scene images;
// used like DATAFILE, without its version and flags checks.
class RESFILE {
  public:
    enum { HEADER_SIZE = 24, LUMP_SIZE = 28 };

    RESFILE() = default;
    ~RESFILE();
    RESFILE(const RESFILE&) = delete;
    RESFILE& operator=(const RESFILE&) = delete;

    bool Open(const char* path);
    bool SeekLump(int n);
    void Close(); // safe to repeat

    uint32_t fileSize = 0; // low 32 bits of the file's length
    std::ifstream stream;
    RESFILEHEADER header;
    std::vector<RESLUMP> lumps; // empty when closed
};

#endif
