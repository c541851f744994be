// The composed frame with the program's own artwork, drawn by the software layer: where the
// needle, its shadow, the lamp and the glow land, and what an empty sprite leaves out.
#include "app/shared.h"
#include "gauge/frame.h"
#include "platform/soft/soft_layer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

struct Rgb {
    int r, g, b;
};

using Frame = std::vector<uint8_t>;

class GaugeFrame : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(OpenSpriteSurface(nullptr));
        LoadGaugeSprites();
        saved = GaugeSprites;
        LinkReadings.lights.store(0);
        GaugeSettings.light = 1;
    }
    void TearDown() override
    {
        GaugeSprites = saved;
        CloseSpriteSurface();
    }

    static Frame Draw(float angle, bool lamp)
    {
        DrawGaugeFrame(angle, lamp);
        return Frame(SoftPresentedFrame(), SoftPresentedFrame() + SurfaceWidth * SurfaceHeight * 3);
    }
    static Rgb At(const Frame& f, int x, int y)
    {
        const uint8_t* p = &f[(static_cast<size_t>(y) * SurfaceWidth + x) * 3];
        return {p[0], p[1], p[2]};
    }
    Frame WithoutNeedle()
    {
        SpriteHandle needle = GaugeSprites.NeedleSprite;
        GaugeSprites.NeedleSprite = nullptr;
        Frame f = Draw(0, false);
        GaugeSprites.NeedleSprite = needle;
        return f;
    }

    GaugeSpritesRecord saved;
};

TEST_F(GaugeFrame, AllFiveSpritesAreMade)
{
    EXPECT_NE(nullptr, GaugeSprites.FaceSprite);
    EXPECT_NE(nullptr, GaugeSprites.NeedleSprite);
    EXPECT_NE(nullptr, GaugeSprites.LampDotSprite);
    EXPECT_NE(nullptr, GaugeSprites.LampRingSprite);
    EXPECT_NE(nullptr, GaugeSprites.LightDiscSprite);
}

TEST_F(GaugeFrame, CornersShowTheBackgroundGrey)
{
    Frame f = Draw(0, false);
    for (int x : {0, 289})
        for (int y : {0, 289}) {
            Rgb p = At(f, x, y);
            EXPECT_EQ(128, p.r);
            EXPECT_EQ(128, p.g);
            EXPECT_EQ(128, p.b);
        }
}

struct NeedleCase {
    float angle;
    float tipX, tipY; // where the needle's tip lies on the surface
};

// From the pivot (147.5, 147.5) and the axis 2 pixels above the image centre.
const NeedleCase NeedleCases[] = {
    {0, 40, 145.5f}, {90, 149.5f, 40}, {-90, 145.5f, 255}, {180, 255, 149.5f}, {-180, 255, 149.5f}, {40, 0, 0},
};

bool White(Rgb p)
{
    return p.r > 200 && p.g > 200 && p.b > 200;
}

TEST_F(GaugeFrame, NeedleLiesAlongItsAxisAndEndsAtItsTip)
{
    Frame bare = WithoutNeedle();
    for (const NeedleCase& c : NeedleCases) {
        SCOPED_TRACE("angle " + std::to_string(c.angle));
        Frame f = Draw(c.angle, false);
        double a = c.angle * 3.14159265358979 / 180;
        // Tip direction, and the axis' offset of 2 pixels, both turned with the needle.
        double dirX = -std::cos(a), dirY = -std::sin(a);
        double axisX = 147.5 + 2 * std::sin(a), axisY = 147.5 - 2 * std::cos(a);
        for (double r : {20.0, 40.0, 60.0, 80.0, 100.0, 104.0}) {
            int x = static_cast<int>(std::floor(axisX + r * dirX));
            int y = static_cast<int>(std::floor(axisY + r * dirY));
            EXPECT_TRUE(White(At(f, x, y))) << "r " << r << " at " << x << "," << y;
        }
        int beyondX = static_cast<int>(std::floor(axisX + 111 * dirX));
        int beyondY = static_cast<int>(std::floor(axisY + 111 * dirY));
        Rgb p = At(f, beyondX, beyondY), q = At(bare, beyondX, beyondY);
        EXPECT_EQ(q.r, p.r) << "beyond the tip at " << beyondX << "," << beyondY;
        if (c.tipX != 0) {
            EXPECT_NEAR(c.tipX, axisX + 107.5 * dirX, 0.01);
            EXPECT_NEAR(c.tipY, axisY + 107.5 * dirY, 0.01);
        }
    }
}

TEST_F(GaugeFrame, ShadowFallsThreePixelsRightAndDownAndOnlyDarkens)
{
    Frame bare = WithoutNeedle();
    Frame f = Draw(0, false);
    // The shaft covers rows 142-148 (and a fringe at 141 and 149) at x 53..93; its shadow
    // rows 145-151, three pixels further right: only 150 and 151 show below the needle.
    for (int y : {150, 151}) {
        Rgb shadowed = At(f, 70, y), plain = At(bare, 70, y);
        EXPECT_LT(shadowed.g, plain.g) << "row " << y;
        EXPECT_NEAR(plain.g * (1 - 100.0 / 255), shadowed.g, 3) << "row " << y;
    }
    EXPECT_EQ(At(bare, 70, 153).g, At(f, 70, 153).g);
    // Above the needle nothing is shadowed.
    EXPECT_EQ(At(bare, 70, 139).g, At(f, 70, 139).g);
    // Drawn alone, the shadow never adds colour.
    SetBlendFactors(BlendFactors::ShadowBlend);
    FillFrame(128, 128, 128);
    BlitSprite(GaugeSprites.FaceSprite, 0, 0, 255);
    BlitSprite(GaugeSprites.NeedleSprite, 43, 43, 100);
    SetBlendFactors(BlendFactors::NormalBlend);
    PresentFrame();
    Frame shadowOnly(SoftPresentedFrame(), SoftPresentedFrame() + bare.size());
    DrawGaugeFrame(0, false);
    for (size_t i = 0; i < bare.size(); ++i) {
        // shadowOnly draws the face with ShadowBlend too, so compare against the grey under it.
        ASSERT_LE(shadowOnly[i], 128) << "byte " << i;
    }
}

TEST_F(GaugeFrame, LampOnlyWithTheFlagCentredAtFiftyFifty)
{
    Frame off = Draw(0, false);
    Frame on = Draw(0, true);
    Rgb centre = At(on, 50, 50);
    EXPECT_GT(centre.r, 200);
    EXPECT_LT(centre.g, 120);
    // Red all round the centre but above it, where the bulb has its highlight.
    for (int d : {-3, 3}) {
        EXPECT_GT(At(on, 50 + d, 50).r, At(on, 50 + d, 50).g + 80);
        EXPECT_GT(At(on, 50, 53).r, At(on, 50, 53).g + 80);
    }
    EXPECT_GT(At(on, 50, 48).g, 150);
    // Nothing of it outside its 30 x 30 square at (35, 35).
    EXPECT_EQ(0, std::memcmp(&off[0], &on[0], 35 * SurfaceWidth * 3));
    EXPECT_EQ(0, std::memcmp(&off[65 * SurfaceWidth * 3], &on[65 * SurfaceWidth * 3],
                             (SurfaceHeight - 65) * SurfaceWidth * 3));
    EXPECT_NE(At(off, 50, 50).r, centre.r);
}

struct GlowCase {
    uint8_t lights;
    int8_t light;
    bool glows;
};

const GlowCase GlowCases[] = {
    {0, 1, false}, {1, 0, false}, {0, 0, false}, {1, 1, true}, {0x80, -1, true}, {0x40, 2, true},
};

TEST_F(GaugeFrame, GlowNeedsBothTheLightsAndTheOption)
{
    Frame plain = Draw(0, false);
    for (const GlowCase& c : GlowCases) {
        SCOPED_TRACE("lights " + std::to_string(c.lights) + " option " + std::to_string(c.light));
        LinkReadings.lights.store(c.lights);
        GaugeSettings.light = c.light;
        Frame f = Draw(0, false);
        if (!c.glows) {
            EXPECT_EQ(plain, f);
            continue;
        }
        // The corners inside the 270 x 270 square are squared: 128 becomes 64.
        for (int x : {0, 5})
            for (int y : {0, 5}) {
                EXPECT_NEAR(64, At(f, x, y).r, 1);
                EXPECT_NEAR(64, At(f, x, y).b, 1);
            }
        // The band of 20 pixels right and bottom keeps its brightness.
        for (int i = 0; i < SurfaceWidth; i += 7) {
            for (int edge = 270; edge < 290; edge += 6) {
                EXPECT_EQ(At(plain, edge, i).g, At(f, edge, i).g);
                EXPECT_EQ(At(plain, i, edge).g, At(f, i, edge).g);
            }
        }
        // Amber added on the dial: red above green above blue.
        Rgb lit = At(f, 190, 90);
        EXPECT_GT(lit.r, lit.g);
        EXPECT_GT(lit.g, lit.b);
    }
}

TEST_F(GaugeFrame, GlowDarkensTheLampToo)
{
    Frame lampOnly = Draw(0, true);
    LinkReadings.lights.store(1);
    Frame both = Draw(0, true);
    // In the halo, outside the disc itself, the glow only squares what lies underneath.
    Rgb halo = At(lampOnly, 44, 50);
    ASSERT_GT(halo.r, 100);
    ASSERT_LT(halo.r, 250);
    EXPECT_NEAR(halo.r * halo.r / 255.0, At(both, 44, 50).r, 2);
}

TEST_F(GaugeFrame, EmptySpriteLeavesOnlyItsLayerOut)
{
    Frame full = Draw(0, true);
    GaugeSprites.LampRingSprite = nullptr;
    Frame noRing = Draw(0, true);
    GaugeSprites.LampDotSprite = nullptr;
    Frame noLamp = Draw(0, true);
    EXPECT_NE(full, noRing);
    EXPECT_NE(noRing, noLamp);
    EXPECT_EQ(Draw(0, false), noLamp);

    // With the disc missing the glow frame is a plain one, and the pair is normal afterwards.
    GaugeSprites.LightDiscSprite = nullptr;
    LinkReadings.lights.store(1);
    Frame noDisc = Draw(0, false);
    LinkReadings.lights.store(0);
    EXPECT_EQ(Draw(0, false), noDisc);

    GaugeSprites.FaceSprite = nullptr;
    Frame noFace = Draw(0, false);
    EXPECT_EQ(128, At(noFace, 145, 60).g);
}

TEST_F(GaugeFrame, AngleBeyondHalfATurnIsDrawnAsPassed)
{
    EXPECT_EQ(Draw(200, false), Draw(-160, false));
    EXPECT_NE(Draw(200, false), Draw(180, false));
}

} // namespace
