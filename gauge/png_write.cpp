// PNG files for the tools and the tests: the frame renderer's pictures, captures to compare.
#include "gauge/png_image.h"

#include <png.h>

#include <cstring>

bool WritePngFile(const std::string& path, const uint8_t* pixels, int width, int height, int channels)
{
    if (channels != 3 && channels != 4)
        return false;
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(width);
    png.height = static_cast<png_uint_32>(height);
    png.format = channels == 4 ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    return png_image_write_to_file(&png, path.c_str(), 0, pixels, 0, nullptr) != 0;
}
