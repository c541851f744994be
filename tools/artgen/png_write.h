// Writing an image as a PNG file: 8-bit RGBA, straight alpha, not interlaced, no time stamp,
// so that the same pixels always give the same bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Straight (not premultiplied) RGBA, 4 bytes a pixel, rows top to bottom with no padding.
struct RgbaImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;
};

RgbaImage MakeRgbaImage(int width, int height);

// False when the file cannot be created or libpng fails.
bool WritePngFile(const std::string& path, const RgbaImage& image);
