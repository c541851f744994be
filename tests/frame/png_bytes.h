// Small synthetic images as PNG bytes, for tests of the sprite layers.
#pragma once

#include <png.h>

#include <cstdint>
#include <cstring>
#include <vector>

inline std::vector<uint8_t> PngBytes(const std::vector<uint8_t>& rgba, int width, int height)
{
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    png.width = width;
    png.height = height;
    png.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&png, nullptr, &size, 0, rgba.data(), 0, nullptr);
    std::vector<uint8_t> bytes(size);
    png_image_write_to_memory(&png, bytes.data(), &size, 0, rgba.data(), 0, nullptr);
    bytes.resize(size);
    return bytes;
}

// width x height pixels, all of one colour.
inline std::vector<uint8_t> SolidRgba(int width, int height, uint8_t r, uint8_t g, uint8_t b, uint8_t a)
{
    std::vector<uint8_t> rgba(static_cast<size_t>(width) * height * 4);
    for (size_t i = 0; i < rgba.size(); i += 4) {
        rgba[i] = r;
        rgba[i + 1] = g;
        rgba[i + 2] = b;
        rgba[i + 3] = a;
    }
    return rgba;
}
