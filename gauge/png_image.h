// PNG decoding and encoding through libpng, from and to memory. Decoding yields 8-bit RGBA
// with straight alpha at the image's own size; anything else libpng can read is expanded to
// that. Encoding writes 8-bit RGB or RGBA, not interlaced.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct RgbaImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels; // width * height * 4, rows top to bottom
};

bool DecodePng(const uint8_t* bytes, size_t size, RgbaImage* image);

// channels: 3 (RGB) or 4 (RGBA); pixels packed, rows top to bottom.
bool WritePngFile(const std::string& path, const uint8_t* pixels, int width, int height, int channels);
