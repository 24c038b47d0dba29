#ifndef TUMBLIX_BREWLIB_TGAWRITER_H
#define TUMBLIX_BREWLIB_TGAWRITER_H

#include "brewlib/ByteWriter.h"
#include "brewlib/Image.h"

namespace brew {

// A true-colour TGA of the image: type 2 (uncompressed) or type 10 (run-length
// encoded), 24 bits for RGB and 32 for RGBA, no ID, no colour map, origin 0,
// rows stored bottom-up as TGA files usually are (descriptor bit 5 clear), so
// the image's top row ends up at the top of the texture.
Bytes EncodeTGA(const Image& image, bool rle);

} // namespace brew

#endif
