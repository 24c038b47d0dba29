#ifndef TUMBLIX_BREWLIB_CONTAINERWRITER_H
#define TUMBLIX_BREWLIB_CONTAINERWRITER_H

#include "brewlib/ByteWriter.h"
#include "brewlib/Image.h"

#include <string>
#include <vector>

namespace brew {

enum { LUMP_OTHER = 0, LUMP_TGA = 1 };

// One lump: its body and the directory entry's type and alpha mode
// (0 opaque, 1 colour key of the first pixel, 2 brightness).
struct Lump {
    Bytes body;
    uint32_t type = LUMP_OTHER;
    uint32_t alphaMode = 0;
};

// An image lump: the image as a TGA (run-length encoded or not).
Lump ImageLump(const Image& image, bool rle, uint32_t alphaMode);

// The header fields of a bottle data file (.brew) that are not computed.
struct BottleHeader {
    std::string name; // display name, up to 49 bytes are kept
    uint8_t versionMajor = 1;
    uint8_t versionMinor = 0;
    uint32_t flags = 0; // bit 0 must stay clear for the file to open
    uint8_t tag = 0;
    uint8_t alpha = 255; // glass opacity
};

// Both containers are laid out as header, lump bodies in order, directory;
// numLumps, dirOffset and sizeCheck (the complement of the length) are computed.
Bytes EncodeBottleFile(const BottleHeader& header, const std::vector<Lump>& lumps);
Bytes EncodeResourceFile(const std::vector<Lump>& lumps);

// Whole-file helpers. WriteFileBytes writes a temporary file beside the
// destination and renames it over, so a reader never sees half a file.
bool WriteFileBytes(const std::string& path, const Bytes& bytes, std::string* error);
bool ReadFileBytes(const std::string& path, Bytes* bytes, std::string* error);

} // namespace brew

#endif
