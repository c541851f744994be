// What the sprite layer tests need from the layer they run against: a surface to open and the
// presented frame to read back. One implementation per layer.
#pragma once

#include <cstdint>

// Opens the layer's surface (on a window of its own where the layer needs one).
bool OpenLayerUnderTest();
void CloseLayerUnderTest();

// The last presented frame, SurfaceWidth * SurfaceHeight pixels of RGB.
const uint8_t* PresentedFrameUnderTest();

// How far a blended or filtered value may stray from the reference arithmetic.
int LayerTolerance();
