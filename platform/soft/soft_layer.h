// What the software sprite layer offers beyond the common sprite layer: the presented frame,
// for the tests, the frame renderer and the comparison with the Direct3D 9 window.
#pragma once

#include <cstdint>

// The last presented frame: SurfaceWidth * SurfaceHeight pixels of 8-bit RGB, rows top down.
const uint8_t* SoftPresentedFrame();

// How many frames were presented since the surface was opened.
uint32_t SoftPresentCount();

// Called with each frame as it is presented; null for none.
void SetSoftPresentHook(void (*hook)(const uint8_t* rgb));

// Makes the next OpenSpriteSurface calls fail, as a display without Direct3D would.
void SetSoftSurfaceFails(bool fails);
