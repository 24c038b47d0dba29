#include "Content.h"
#include "Painter.h"

#include <cairo.h>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace {

cairo_status_t AppendPng(void* closure, const unsigned char* data, unsigned int length) {
    brew::Bytes* out = static_cast<brew::Bytes*>(closure);
    out->insert(out->end(), data, data + length);
    return CAIRO_STATUS_SUCCESS;
}

} // namespace

brew::Bytes EncodePng(const brew::Image& image) {
    Canvas canvas(int(image.width), int(image.height));
    canvas.FromImage(image);
    brew::Bytes out;
    cairo_surface_t* surface = cairo_get_target(canvas.cr());
    cairo_surface_flush(surface);
    if (cairo_surface_write_to_png_stream(surface, AppendPng, &out) != CAIRO_STATUS_SUCCESS) {
        out.clear();
    }
    return out;
}

bool MakeFolder(const std::string& folder, std::string* error) {
    std::string path;
    for (size_t i = 0; i <= folder.size(); i++) {
        if (i == folder.size() || (folder[i] == '/' && i > 0)) {
            path = folder.substr(0, i);
            if (mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) {
                *error = "cannot make the folder " + path + ": " + std::strerror(errno);
                return false;
            }
        }
    }
    return true;
}

bool WriteContent(const std::string& folder, std::string* error) {
    if (!MakeFolder(folder, error)) {
        return false;
    }
    const std::string base = folder + "/";
    std::vector<brew::Lump> lumps;
    for (const TextureImage& t : MakeSceneTextures()) {
        lumps.push_back(brew::ImageLump(t.image, true, t.alphaMode));
    }
    if (!brew::WriteFileBytes(base + "dewkin.works", brew::EncodeResourceFile(lumps), error)) {
        return false;
    }
    for (const BottleType& b : MakeBottleTypes()) {
        std::vector<brew::Lump> parts(1);
        parts[0].body = brew::EncodeMS3D(b.model);
        for (const TextureImage& t : b.slots) {
            parts.push_back(brew::ImageLump(t.image, true, t.alphaMode));
        }
        if (!brew::WriteFileBytes(base + b.fileName, brew::EncodeBottleFile(b.header, parts),
                                  error)) {
            return false;
        }
    }
    for (int n = 1; n <= 8; n++) {
        if (!brew::WriteFileBytes(base + "clink" + std::to_string(n) + ".wav", MakeClinkWave(n),
                                  error)) {
            return false;
        }
    }
    const brew::Bytes png = EncodePng(MakeBackgroundPicture());
    if (png.empty()) {
        *error = "cannot encode the background picture";
        return false;
    }
    return brew::WriteFileBytes(base + "default-background.png", png, error);
}
