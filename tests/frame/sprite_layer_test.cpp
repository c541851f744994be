// The sprite layer's placement, turning, sampling and blending rules, on small synthetic
// sprites whose every pixel is known. Built once against the software layer and, in the
// Windows build, once against Direct3D 9: both must obey the same rules.
#include "gauge/sprite_layer.h"
#include "tests/frame/layer_under_test.h"
#include "tests/frame/png_bytes.h"

#include <cstring>

#include <gtest/gtest.h>

#include <cmath>

namespace {

struct Rgb {
    int r, g, b;
};

Rgb Pixel(int x, int y)
{
    const uint8_t* p = PresentedFrameUnderTest() + (static_cast<size_t>(y) * SurfaceWidth + x) * 3;
    return {p[0], p[1], p[2]};
}

class SpriteLayer : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(OpenLayerUnderTest());
        SetBlendFactors(BlendFactors::NormalBlend);
    }
    void TearDown() override { CloseLayerUnderTest(); }

    SpriteHandle Make(const std::vector<uint8_t>& rgba, int w, int h)
    {
        std::vector<uint8_t> png = PngBytes(rgba, w, h);
        return SpriteFromPng(png.data(), png.size());
    }

    void Frame(uint8_t grey, SpriteHandle sprite, int x, int y, uint8_t alpha)
    {
        FillFrame(grey, grey, grey);
        BeginLayers();
        BlitSprite(sprite, x, y, alpha);
        EndLayers();
        PresentFrame();
    }
};

// A 4 x 3 image whose pixels all differ, so any misplacement shows.
std::vector<uint8_t> Numbered(int w, int h)
{
    std::vector<uint8_t> rgba(static_cast<size_t>(w) * h * 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = &rgba[(static_cast<size_t>(y) * w + x) * 4];
            p[0] = static_cast<uint8_t>(10 + x * 40);
            p[1] = static_cast<uint8_t>(20 + y * 60);
            p[2] = static_cast<uint8_t>(x * 10 + y);
            p[3] = 255;
        }
    return rgba;
}

TEST_F(SpriteLayer, UnturnedSpriteLandsPixelForPixelWithEitherSampling)
{
    std::vector<uint8_t> rgba = Numbered(4, 3);
    SpriteHandle sprite = Make(rgba, 4, 3);
    ASSERT_NE(nullptr, sprite);
    for (bool smooth : {false, true}) {
        SetSmoothSampling(smooth);
        Frame(128, sprite, 100, 50, 255);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 4; ++x) {
                const uint8_t* p = &rgba[(y * 4 + x) * 4];
                Rgb got = Pixel(100 + x, 50 + y);
                EXPECT_EQ(p[0], got.r) << "smooth " << smooth << " at " << x << "," << y;
                EXPECT_EQ(p[1], got.g);
                EXPECT_EQ(p[2], got.b);
            }
        // Nothing outside the sprite is touched.
        for (int x : {99, 104})
            EXPECT_EQ(128, Pixel(x, 51).r);
        for (int y : {49, 53})
            EXPECT_EQ(128, Pixel(101, y).g);
    }
}

TEST_F(SpriteLayer, PositiveAngleTurnsClockwiseAboutTheCentre)
{
    // A 9 x 9 sprite, transparent but for a white bar from the centre to the left edge.
    std::vector<uint8_t> rgba = SolidRgba(9, 9, 0, 0, 0, 0);
    for (int x = 0; x <= 4; ++x) {
        uint8_t* p = &rgba[(4 * 9 + x) * 4];
        p[0] = p[1] = p[2] = p[3] = 255;
    }
    SpriteHandle sprite = Make(rgba, 9, 9);
    SetSmoothSampling(false);
    // Centre of the placed sprite: (100 + 4.5, 100 + 4.5), the middle of pixel (104, 104).
    struct Case {
        float angle;
        int x, y; // a pixel the bar's far end must cover
    } cases[] = {{0, 100, 104}, {90, 104, 100}, {-90, 104, 108}, {180, 108, 104}, {450, 104, 100}};
    for (const Case& c : cases) {
        SetSpriteAngle(sprite, c.angle);
        Frame(0, sprite, 100, 100, 255);
        EXPECT_EQ(255, Pixel(c.x, c.y).r) << "angle " << c.angle;
        // The opposite end stays dark.
        EXPECT_EQ(0, Pixel(208 - c.x, 208 - c.y).r) << "angle " << c.angle;
    }
}

TEST_F(SpriteLayer, AngleIsSetNotAdded)
{
    std::vector<uint8_t> rgba = Numbered(7, 7);
    SpriteHandle sprite = Make(rgba, 7, 7);
    SetSpriteAngle(sprite, 0);
    Frame(0, sprite, 10, 10, 255);
    const uint8_t* f = PresentedFrameUnderTest();
    std::vector<uint8_t> first(f, f + SurfaceWidth * SurfaceHeight * 3);
    for (int i = 0; i < 3; ++i) {
        SetSpriteAngle(sprite, 37.0f);
        Frame(0, sprite, 10, 10, 255);
    }
    SetSpriteAngle(sprite, 0);
    Frame(0, sprite, 10, 10, 255);
    EXPECT_EQ(0, std::memcmp(first.data(), PresentedFrameUnderTest(), first.size()));
}

struct BlendCase {
    const char* name;
    BlendFactors pair;
    uint8_t under;    // grey underneath
    uint8_t colour;   // sprite grey
    uint8_t imageAlpha;
    uint8_t drawAlpha;
    int expected;
};

const BlendCase BlendCases[] = {
    // Cs * As + Cd * (1 - As)
    {"normal opaque", BlendFactors::NormalBlend, 128, 200, 255, 255, 200},
    {"normal half", BlendFactors::NormalBlend, 0, 200, 255, 128, 100},
    {"normal image alpha times draw alpha", BlendFactors::NormalBlend, 0, 255, 128, 128, 64},
    {"normal transparent", BlendFactors::NormalBlend, 77, 255, 0, 255, 77},
    // Cd * (1 - As): darkens, adds no colour whatever the sprite's colour
    {"shadow", BlendFactors::ShadowBlend, 200, 255, 255, 100, 122},
    {"shadow transparent", BlendFactors::ShadowBlend, 200, 255, 0, 255, 200},
    // Cs * As + Cd * Cd: the square is taken even where the sprite is transparent
    {"glow transparent squares", BlendFactors::GlowBlend, 128, 255, 0, 200, 64},
    {"glow white mark", BlendFactors::GlowBlend, 230, 0, 255, 200, 207},
    {"glow dark dial", BlendFactors::GlowBlend, 40, 0, 255, 200, 6},
    {"glow clamps", BlendFactors::GlowBlend, 250, 255, 255, 255, 255},
};

TEST_F(SpriteLayer, BlendPairs)
{
    for (const BlendCase& c : BlendCases) {
        SCOPED_TRACE(c.name);
        SpriteHandle sprite = Make(SolidRgba(2, 2, c.colour, c.colour, c.colour, c.imageAlpha), 2, 2);
        SetBlendFactors(c.pair);
        Frame(c.under, sprite, 5, 5, c.drawAlpha);
        EXPECT_NEAR(c.expected, Pixel(5, 5).g, LayerTolerance());
        EXPECT_EQ(c.under, Pixel(7, 5).g); // outside: untouched
    }
}

TEST_F(SpriteLayer, PairStaysInForceAcrossFrames)
{
    SpriteHandle sprite = Make(SolidRgba(2, 2, 255, 255, 255, 255), 2, 2);
    SetBlendFactors(BlendFactors::ShadowBlend);
    Frame(200, sprite, 5, 5, 255);
    Frame(200, sprite, 5, 5, 255);
    EXPECT_EQ(0, Pixel(5, 5).r);
}

TEST_F(SpriteLayer, SmoothSamplingBlendsNeighboursWhenTurned)
{
    // Black and white columns: turned by a small angle, nearest sampling gives only 0 or 255,
    // bilinear gives values in between.
    std::vector<uint8_t> rgba = SolidRgba(16, 16, 0, 0, 0, 255);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; x += 2)
            for (int c = 0; c < 3; ++c)
                rgba[(y * 16 + x) * 4 + c] = 255;
    SpriteHandle sprite = Make(rgba, 16, 16);
    SetSpriteAngle(sprite, 10.0f);
    auto countMixed = [&] {
        int mixed = 0;
        for (int y = 60; y < 70; ++y)
            for (int x = 60; x < 70; ++x) {
                int v = Pixel(x, y).r;
                mixed += v > 10 && v < 245;
            }
        return mixed;
    };
    SetSmoothSampling(false);
    Frame(0, sprite, 57, 57, 255);
    EXPECT_EQ(0, countMixed());
    SetSmoothSampling(true);
    Frame(0, sprite, 57, 57, 255);
    EXPECT_GT(countMixed(), 50);
}

TEST_F(SpriteLayer, EmptyAndBrokenSpritesDrawNothing)
{
    const uint8_t junk[] = {0x89, 'P', 'N', 'G', 1, 2, 3};
    EXPECT_EQ(nullptr, SpriteFromPng(junk, sizeof junk));
    EXPECT_EQ(nullptr, SpriteFromPng(nullptr, 0));
    SetSpriteAngle(nullptr, 12.0f);
    Frame(90, nullptr, 0, 0, 255);
    const uint8_t* frame = PresentedFrameUnderTest();
    for (int i = 0; i < SurfaceWidth * SurfaceHeight * 3; ++i)
        ASSERT_EQ(90, frame[i]);
}

TEST_F(SpriteLayer, SpritesPartlyOffTheSurfaceAreClipped)
{
    SpriteHandle sprite = Make(SolidRgba(20, 20, 255, 0, 0, 255), 20, 20);
    SetSpriteAngle(sprite, 30.0f);
    for (int x : {-15, 280})
        Frame(0, sprite, x, x, 255);
    EXPECT_EQ(255, Pixel(289, 289).r);
}

} // namespace
