// What the Direct3D 9 sprite layer offers beyond the common sprite layer.
#pragma once

#include <cstdint>

// Copies the back buffer, which after a presentation still holds the presented frame, into
// rgb (SurfaceWidth * SurfaceHeight pixels of RGB). False when it cannot be read.
bool D3d9ReadBackBuffer(uint8_t* rgb);
