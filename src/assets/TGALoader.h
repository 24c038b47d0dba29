#ifndef TUMBLIX_ASSETS_TGALOADER_H
#define TUMBLIX_ASSETS_TGALOADER_H

#include "assets/Texture.h"

#include <fstream>

// Decodes one true-colour TGA (type 2 or run-length type 10, 24 or 32 bits,
// no ID, no colour map, origin 0) from s at its current position into
// texture: width, height, bpp, type and imageData (malloc), pixels in file
// order as R, G, B (and A). texID is left alone. Every failure is shown with
// MessageBox before false is returned, and leaves imageData empty.
//
// Images wider or taller than kMaxTgaEdge are refused before any allocation:
// the built-in content needs at most 1024 pixels on an edge.
constexpr unsigned kMaxTgaEdge = 4096;
bool LoadTGA2(Texture* texture, std::ifstream* s);

// The two body readers LoadTGA2 hands over to; each starts at byte 12.
bool LoadUncompressedTGA2(Texture* texture, std::ifstream* s);
bool LoadCompressedTGA2(Texture* texture, std::ifstream* s);

#endif
