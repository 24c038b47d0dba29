#ifndef TUMBLIX_HOST_PLATFORM_FILES_PICTUREREADER_H
#define TUMBLIX_HOST_PLATFORM_FILES_PICTUREREADER_H

struct PicBitmap;

// Decodes a picture file with SDL_image (the format is told by its content,
// not its name) and converts it, whatever its depth, to 8-bit RGB, or RGBA
// when the picture has transparency, top row first.
// Only regular files are read. A picture whose header claims more than
// kMaxPictureEdge pixels on an edge is refused before it is decoded (PNG,
// GIF, JPEG and BMP; other formats are checked once decoded). False, with
// the reason in SDL_GetError(), when nothing was read.
constexpr unsigned kMaxPictureEdge = 16384;
bool ReadPicture(const char* path, PicBitmap* out);

// Connects ReadPicture to the engine's picture loading.
void InstallPictureReader();

#endif
