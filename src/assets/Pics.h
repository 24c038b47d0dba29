#ifndef TUMBLIX_ASSETS_PICS_H
#define TUMBLIX_ASSETS_PICS_H

#include <cstdint>
#include <vector>

class Texture;

// Room for one directory entry's name and its terminator.
enum { PIC_NAME_SIZE = 256 };

// A decoded picture as the platform's image reader hands it over: 24 bits
// (R, G, B) or 32 bits (R, G, B, A) per pixel, top row first, each row
// bytesPerRow bytes long.
struct PicBitmap {
    int bitsPerPixel = 0;
    int bytesPerRow = 0;
    int pixelsWide = 0;
    int pixelsHigh = 0;
    std::vector<uint8_t> bitmapData;
};

// The platform's image reader: false when the file cannot be read or decoded.
using PictureReader = bool (*)(const char* path, PicBitmap* out);
void SetPictureReader(PictureReader reader); // nullptr disconnects

// Entries of folder whose names are longer than extension and end with it
// (case-sensitive); 0 when the folder cannot be opened.
int CountFiles(const char* folder, const char* extension);

// Copies into name (PIC_NAME_SIZE bytes) the match with index n, from 0,
// in the order of the directory listing.
bool FindNthFile(const char* folder, char* name, const char* extension, int n);

// A ".jpg", ".gif" or ".png" entry of folder, every one equally likely; one
// call of rand().
bool ChooseRandomImageFile(const char* folder, char* name);

// Reads the picture at path and builds an opaque 512 x 512 texture of it;
// afterwards texture->width and height hold the picture's own size. False
// without a message when there is no reader or the file cannot be read.
bool loadPicFile(const char* path, Texture* texture);

// loadPicFile on a random picture of folder.
bool LoadPicture(const char* folder, Texture* texture);

#endif
