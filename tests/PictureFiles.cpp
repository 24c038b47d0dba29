#include "PictureFiles.h"

#include <png.h>

namespace pics {

brew::Bytes EncodePNG(const PngImage& image) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = image.width;
    png.height = image.height;
    png.format = image.colour == PNG_GREY   ? PNG_FORMAT_GRAY
                 : image.colour == PNG_RGBA ? PNG_FORMAT_RGBA
                                            : PNG_FORMAT_RGB;
    // A palette (and its tRNS alphas) as the colour map of a mapped image.
    std::vector<uint8_t> map;
    if (image.colour == PNG_PALETTE) {
        const bool alpha = !image.alphas.empty();
        png.format = alpha ? PNG_FORMAT_RGBA_COLORMAP : PNG_FORMAT_RGB_COLORMAP;
        png.colormap_entries = png_uint_32(image.palette.size() / 3);
        for (size_t i = 0; i < png.colormap_entries; i++) {
            map.insert(map.end(), &image.palette[3 * i], &image.palette[3 * i + 3]);
            if (alpha) {
                map.push_back(i < image.alphas.size() ? image.alphas[i] : 255);
            }
        }
    }
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&png, nullptr, &size, 0, image.rows.data(), 0, map.data());
    brew::Bytes out(size);
    if (!png_image_write_to_memory(&png, out.data(), &size, 0, image.rows.data(), 0, map.data())) {
        out.clear();
    }
    out.resize(size);
    return out;
}

} // namespace pics
