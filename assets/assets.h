// The artwork's PNG files, built into the program as byte arrays.
#pragma once

#include <cstddef>
#include <cstdint>

struct AssetBytes {
    const uint8_t* data;
    size_t size;
};

extern const AssetBytes FaceImage;
extern const AssetBytes NeedleImage;
extern const AssetBytes LampDotImage;
extern const AssetBytes LampRingImage;
extern const AssetBytes LightDiscImage;
