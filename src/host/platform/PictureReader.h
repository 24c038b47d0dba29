#ifndef TUMBLIX_HOST_PLATFORM_PICTUREREADER_H
#define TUMBLIX_HOST_PLATFORM_PICTUREREADER_H

struct PicBitmap;

// Decodes a picture file with SDL_image (the format is told by its content,
// not its name) and converts it, whatever its depth, to 8-bit RGB, or RGBA
// when the picture has transparency, top row first.
bool ReadPicture(const char* path, PicBitmap* out);

// Connects ReadPicture to the engine's picture loading.
void InstallPictureReader();

#endif
