// PNG decoding from memory, with libpng's simplified API: it handles every colour type and bit
// depth, and rejects anything damaged with a plain error instead of a longjmp of ours.
#include "gauge/png_image.h"

#include <png.h>

#include <cstring>

bool DecodePng(const uint8_t* bytes, size_t size, RgbaImage* image)
{
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    if (!bytes || size == 0 || !png_image_begin_read_from_memory(&png, bytes, size))
        return false;
    png.format = PNG_FORMAT_RGBA;
    if (png.width == 0 || png.height == 0 || png.width > 8192 || png.height > 8192) {
        png_image_free(&png);
        return false;
    }
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(png));
    if (!png_image_finish_read(&png, nullptr, pixels.data(), 0, nullptr)) {
        png_image_free(&png);
        return false;
    }
    image->width = static_cast<int>(png.width);
    image->height = static_cast<int>(png.height);
    image->pixels.swap(pixels);
    return true;
}
