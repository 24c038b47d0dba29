#ifndef TUMBLIX_CONTENT_CONTENT_H
#define TUMBLIX_CONTENT_CONTENT_H

#include "brewlib/ContainerWriter.h"
#include "brewlib/Image.h"
#include "brewlib/Ms3dWriter.h"

#include <string>
#include <vector>

// The default content of the saver, made from code. Everything here is
// deterministic: the same bytes on every run.

const uint32_t ALPHA_OPAQUE = 0, ALPHA_KEY = 1, ALPHA_BRIGHT = 2;

struct TextureImage {
    std::string name; // what it is, for file names of previews
    brew::Image image;
    uint32_t alphaMode = ALPHA_OPAQUE;
};

struct BottleType {
    std::string fileName; // e.g. "longneck-lager.brew"
    brew::BottleHeader header;
    brew::Ms3dModel model;
    std::vector<TextureImage> slots; // slot 0 the glass, then the labels
};

// The scene textures in lump order: 0 font, 1 banner logo, 2 and 3 spare
// images, 4 to 7 messages, 8 the shine map.
std::vector<TextureImage> MakeSceneTextures();
std::vector<BottleType> MakeBottleTypes();
brew::Image MakeBackgroundPicture();

// One clink recording as a complete RIFF/WAVE file (16-bit PCM mono); n is 1 to 8.
brew::Bytes MakeClinkWave(int n);
const int CLINK_SAMPLE_RATE = 44100;

// Writes every file of the resource folder into `folder`; false and a message on failure.
bool WriteContent(const std::string& folder, std::string* error);

// A PNG file of the image (empty on failure), and mkdir -p.
brew::Bytes EncodePng(const brew::Image& image);
bool MakeFolder(const std::string& folder, std::string* error);

// Renders the bottles and textures into PNG files in `folder` for a person to look at.
bool WriteLooks(const std::string& folder, std::string* error);

#endif
