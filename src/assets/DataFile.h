#ifndef TUMBLIX_ASSETS_DATAFILE_H
#define TUMBLIX_ASSETS_DATAFILE_H

#include <cstdint>
#include <fstream>
#include <vector>

// Header of a bottle data file (.brew), 76 bytes at the start of the file.
// The fields are read one by one from the little-endian bytes; this record is
// not a copy of the file's layout.
struct DATAFILEHEADER {
    char name[51] = {}; // the 50 bytes of the file plus a terminator that is always NUL
    char magic[4] = {}; // "TUMB"
    uint8_t versionMinor = 0;
    uint8_t versionMajor = 0;
    uint32_t flags = 0; // bit 0 set: the file does not open
    uint32_t numLumps = 0;
    uint32_t sizeCheck = 0; // complement of the file's length
    uint32_t dirOffset = 0;
    uint8_t tag = 0;
    uint8_t alpha = 0; // glass opacity, 0 to 255
};

// One directory entry of a bottle data file, 16 bytes in the file.
struct DATALUMP {
    uint32_t size = 0;
    uint32_t offset = 0;    // from the start of the file
    uint32_t type = 0;      // 1: a TGA image
    uint32_t alphaMode = 0; // 0 opaque, 1 colour key, 2 brightness
};

// Reader of a bottle data file. Open validates the header and loads the
// directory; the file stays open so that consumers can SeekLump and read a
// lump body straight from `stream`.
class DATAFILE {
  public:
    enum { HEADER_SIZE = 76, LUMP_SIZE = 16 };

    DATAFILE() = default;
    ~DATAFILE();
    DATAFILE(const DATAFILE&) = delete;
    DATAFILE& operator=(const DATAFILE&) = delete;

    bool Open(const char* path);
    bool SeekLump(int n);
    void Close(); // safe to repeat

    uint32_t fileSize = 0; // low 32 bits of the file's length
    std::ifstream stream;
    DATAFILEHEADER header;
    std::vector<DATALUMP> lumps; // empty when closed
};

#endif
