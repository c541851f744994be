// The 2D sprite layer the gauge draws through: one surface of 290 x 290 pixels inside the gauge
// window, sprites made from PNG bytes, turned about their centre, sampled bilinearly, blended
// with one of three factor pairs. Direct3D 9 in the product (platform/win32), a software
// rasteriser natively and for the reference pictures (platform/soft). Main thread only.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int SurfaceWidth = 290;
constexpr int SurfaceHeight = 290;

struct Sprite;
using SpriteHandle = Sprite*; // null: the sprite could not be made; every use does nothing

// out = Cs * Fs + Cd * Fd per channel, clamped, with As = image alpha * draw alpha.
enum class BlendFactors {
    NormalBlend, // As, 1 - As
    ShadowBlend, // 0, 1 - As: darkens, adds no colour
    GlowBlend,   // As, Cd: squares what lies underneath, then adds the colour
};

// Prepares the layer and its PNG decoder. The result is only a hint: a layer that cannot draw
// fails in OpenSpriteSurface.
bool SpriteLayerInit();

// Opens the surface over the window's client area (window: the platform's window handle),
// presenting in step with the display's refresh.
bool OpenSpriteSurface(void* window);

// Releases the sprites and the surface.
void CloseSpriteSurface();

SpriteHandle SpriteFromPng(const uint8_t* bytes, size_t size);
void SetSmoothSampling(bool on);
void FillFrame(uint8_t red, uint8_t green, uint8_t blue);
void BeginLayers();
void EndLayers();
void SetSpriteAngle(SpriteHandle sprite, float degrees);
void SetBlendFactors(BlendFactors pair);
void BlitSprite(SpriteHandle sprite, int x, int y, uint8_t alpha);
void PresentFrame();

// Shows the last presented frame again, unchanged (the window was uncovered). False when the
// layer has nothing to show.
bool RepaintLastFrame();
