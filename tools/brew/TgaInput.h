#ifndef TUMBLIX_BREW_TGAINPUT_H
#define TUMBLIX_BREW_TGAINPUT_H

#include "brewlib/ByteWriter.h"
#include "brewlib/Image.h"

#include <string>

// Reads a true-colour TGA the way image editors write them: type 2 or 10,
// 24 or 32 bits, with or without an image ID, rows in either order. The
// saver's own decoder is stricter (no ID, bottom-up only), so the packers
// read images with this and write them again with brew::EncodeTGA.
bool ReadTgaImage(const brew::Bytes& file, brew::Image* image, std::string* error);

#endif
