// The software sprite layer: the pixel reference for the Direct3D 9 layer. Each surface pixel
// whose centre falls inside the placed, turned image takes the image there (bilinear or
// nearest, edges clamped as a texture would be), and is blended per channel in floating point
// with the pair in force, then rounded to 8 bits as an 8-bit back buffer would hold it.
// Sprites live until the surface is closed; drawing allocates nothing.
#include "gauge/sprite_layer.h"
#include "platform/soft/soft_layer.h"

#include "gauge/png_image.h"

#include <cmath>
#include <cstring>
#include <vector>

struct Sprite {
    RgbaImage image;
    float angle = 0.0f;
};

static struct SoftLayerState {
    bool open = false;
    bool smooth = false;
    BlendFactors pair = BlendFactors::NormalBlend;
    uint8_t composing[SurfaceWidth * SurfaceHeight * 3];
    uint8_t presented[SurfaceWidth * SurfaceHeight * 3];
    uint32_t presentCount = 0;
    void (*presentHook)(const uint8_t* rgb) = nullptr;
    bool failOpen = false;
    std::vector<Sprite*> sprites;
} soft;

bool SpriteLayerInit()
{
    return true;
}

bool OpenSpriteSurface(void*)
{
    CloseSpriteSurface();
    if (soft.failOpen)
        return false;
    soft.open = true;
    soft.smooth = false;
    soft.pair = BlendFactors::NormalBlend;
    soft.presentCount = 0;
    std::memset(soft.composing, 0, sizeof soft.composing);
    std::memset(soft.presented, 0, sizeof soft.presented);
    return true;
}

void CloseSpriteSurface()
{
    for (Sprite* sprite : soft.sprites)
        delete sprite;
    soft.sprites.clear();
    soft.open = false;
}

SpriteHandle SpriteFromPng(const uint8_t* bytes, size_t size)
{
    if (!soft.open)
        return nullptr;
    Sprite* sprite = new Sprite;
    if (!DecodePng(bytes, size, &sprite->image)) {
        delete sprite;
        return nullptr;
    }
    soft.sprites.push_back(sprite);
    return sprite;
}

void SetSmoothSampling(bool on)
{
    soft.smooth = on;
}

void FillFrame(uint8_t red, uint8_t green, uint8_t blue)
{
    for (int i = 0; i < SurfaceWidth * SurfaceHeight; ++i) {
        soft.composing[i * 3 + 0] = red;
        soft.composing[i * 3 + 1] = green;
        soft.composing[i * 3 + 2] = blue;
    }
}

void BeginLayers() {}

void EndLayers() {}

void SetSpriteAngle(SpriteHandle sprite, float degrees)
{
    if (sprite)
        sprite->angle = degrees;
}

void SetBlendFactors(BlendFactors pair)
{
    soft.pair = pair;
}

static float Texel(const RgbaImage& image, int x, int y, int channel)
{
    x = x < 0 ? 0 : (x >= image.width ? image.width - 1 : x);
    y = y < 0 ? 0 : (y >= image.height ? image.height - 1 : y);
    return image.pixels[(static_cast<size_t>(y) * image.width + x) * 4 + channel];
}

// The image at (u, v) in image pixels (pixel i spans u in [i, i + 1)), as 0..255 values.
static void Sample(const RgbaImage& image, double u, double v, float out[4])
{
    if (!soft.smooth) {
        int x = static_cast<int>(std::floor(u));
        int y = static_cast<int>(std::floor(v));
        for (int c = 0; c < 4; ++c)
            out[c] = Texel(image, x, y, c);
        return;
    }
    double s = u - 0.5, t = v - 0.5;
    double x0 = std::floor(s), y0 = std::floor(t);
    float fx = static_cast<float>(s - x0), fy = static_cast<float>(t - y0);
    int ix = static_cast<int>(x0), iy = static_cast<int>(y0);
    for (int c = 0; c < 4; ++c) {
        float top = Texel(image, ix, iy, c) * (1 - fx) + Texel(image, ix + 1, iy, c) * fx;
        float bottom = Texel(image, ix, iy + 1, c) * (1 - fx) + Texel(image, ix + 1, iy + 1, c) * fx;
        out[c] = top * (1 - fy) + bottom * fy;
    }
}

static uint8_t ToByte(float value)
{
    if (value <= 0.0f)
        return 0;
    if (value >= 1.0f)
        return 255;
    return static_cast<uint8_t>(value * 255.0f + 0.5f);
}

void BlitSprite(SpriteHandle sprite, int x, int y, uint8_t alpha)
{
    if (!sprite || !soft.open)
        return;
    const RgbaImage& image = sprite->image;
    double w = image.width, h = image.height;
    double cx = x + w / 2, cy = y + h / 2;
    double cosA = 1.0, sinA = 0.0;
    if (sprite->angle != 0.0f) {
        double radians = static_cast<double>(sprite->angle) * (3.14159265358979323846 / 180.0);
        cosA = std::cos(radians);
        sinA = std::sin(radians);
    }
    // The turned quad's bounding box, clipped to the surface.
    double ex = (std::fabs(w * cosA) + std::fabs(h * sinA)) / 2;
    double ey = (std::fabs(w * sinA) + std::fabs(h * cosA)) / 2;
    int x0 = static_cast<int>(std::floor(cx - ex)), x1 = static_cast<int>(std::ceil(cx + ex));
    int y0 = static_cast<int>(std::floor(cy - ey)), y1 = static_cast<int>(std::ceil(cy + ey));
    x0 = x0 < 0 ? 0 : x0;
    y0 = y0 < 0 ? 0 : y0;
    x1 = x1 > SurfaceWidth ? SurfaceWidth : x1;
    y1 = y1 > SurfaceHeight ? SurfaceHeight : y1;

    float drawAlpha = alpha / 255.0f;
    for (int j = y0; j < y1; ++j) {
        for (int i = x0; i < x1; ++i) {
            double dx = i + 0.5 - cx, dy = j + 0.5 - cy;
            // Turning the image by +angle maps it back by -angle.
            double u = dx * cosA + dy * sinA + w / 2;
            double v = -dx * sinA + dy * cosA + h / 2;
            if (u < 0 || v < 0 || u >= w || v >= h)
                continue;
            float texel[4];
            Sample(image, u, v, texel);
            float as = texel[3] / 255.0f * drawAlpha;
            uint8_t* pixel = &soft.composing[(static_cast<size_t>(j) * SurfaceWidth + i) * 3];
            for (int c = 0; c < 3; ++c) {
                float cs = texel[c] / 255.0f;
                float cd = pixel[c] / 255.0f;
                float out;
                switch (soft.pair) {
                case BlendFactors::ShadowBlend:
                    out = cd * (1 - as);
                    break;
                case BlendFactors::GlowBlend:
                    out = cs * as + cd * cd;
                    break;
                case BlendFactors::NormalBlend:
                default:
                    out = cs * as + cd * (1 - as);
                    break;
                }
                pixel[c] = ToByte(out);
            }
        }
    }
}

void PresentFrame()
{
    if (!soft.open)
        return;
    std::memcpy(soft.presented, soft.composing, sizeof soft.presented);
    ++soft.presentCount;
    if (soft.presentHook)
        soft.presentHook(soft.presented);
}

bool RepaintLastFrame()
{
    return soft.open && soft.presentCount > 0;
}

const uint8_t* SoftPresentedFrame()
{
    return soft.presented;
}

uint32_t SoftPresentCount()
{
    return soft.presentCount;
}

void SetSoftPresentHook(void (*hook)(const uint8_t* rgb))
{
    soft.presentHook = hook;
}

void SetSoftSurfaceFails(bool fails)
{
    soft.failOpen = fails;
}
