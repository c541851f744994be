// The committed artwork, decoded with libpng and checked for what the frame composition relies
// on: sizes and pixel format, transparency, the needle's geometry about its pivot, the dial's
// graduations at the scale's angles, the lamp's alpha profiles and the light disc's colour.
// Colours are checked loosely: the images' shading is free, their geometry is not.
#include "gauge/scale.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cmath>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

struct DecodedPng {
    bool ok = false;
    uint32_t width = 0;
    uint32_t height = 0;
    int bitDepth = 0;
    int colourType = 0;
    int interlace = 0;
    std::vector<uint8_t> rgba;
};

struct Pixel {
    int r;
    int g;
    int b;
    int a;
};

// libpng reports errors by longjmp: the output and the row table live outside this frame.
bool DecodeInto(FILE* file, DecodedPng* out, std::vector<png_bytep>* rows)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_init_io(png, file);
    png_read_info(png, info);
    png_uint_32 w, h;
    png_get_IHDR(png, info, &w, &h, &out->bitDepth, &out->colourType, &out->interlace, nullptr,
                 nullptr);
    out->width = w;
    out->height = h;
    bool rgba8 = out->bitDepth == 8 && out->colourType == PNG_COLOR_TYPE_RGB_ALPHA &&
                 out->interlace == PNG_INTERLACE_NONE && png_get_rowbytes(png, info) == w * 4;
    if (rgba8) {
        out->rgba.resize(static_cast<size_t>(w) * h * 4);
        rows->resize(h);
        for (png_uint_32 y = 0; y < h; ++y) {
            (*rows)[y] = &out->rgba[static_cast<size_t>(y) * w * 4];
        }
        png_read_image(png, rows->data());
        png_read_end(png, nullptr);
    }
    png_destroy_read_struct(&png, &info, nullptr);
    return rgba8;
}

std::string AssetPath(const std::string& name)
{
    return std::string(TOVALINE_ASSET_DIR) + "/" + name;
}

const DecodedPng& Asset(const std::string& name)
{
    static std::map<std::string, DecodedPng> cache;
    auto found = cache.find(name);
    if (found != cache.end()) {
        return found->second;
    }
    DecodedPng& image = cache[name];
    FILE* file = std::fopen(AssetPath(name).c_str(), "rb");
    if (file) {
        std::vector<png_bytep> rows;
        image.ok = DecodeInto(file, &image, &rows);
        std::fclose(file);
    }
    return image;
}

Pixel At(const DecodedPng& image, int x, int y)
{
    const uint8_t* p = &image.rgba[(static_cast<size_t>(y) * image.width + x) * 4];
    return {p[0], p[1], p[2], p[3]};
}

// The pixel under the point at radius r about the needle pivot, at a needle angle in degrees
// (0 at 9 o'clock, positive clockwise on the screen).
Pixel FaceAt(double angleDegrees, double r)
{
    const double pi = 3.14159265358979323846;
    double a = angleDegrees * pi / 180.0;
    double x = 147.5 - r * std::cos(a);
    double y = 147.5 - r * std::sin(a);
    return At(Asset("face.png"), static_cast<int>(std::floor(x)), static_cast<int>(std::floor(y)));
}

bool IsWhiteish(Pixel p)
{
    return p.a == 255 && p.r >= 170 && p.g >= 170 && p.b >= 170;
}

bool IsDialGrey(Pixel p)
{
    return p.a == 255 && std::abs(p.r - 40) <= 12 && std::abs(p.g - 41) <= 12 &&
           std::abs(p.b - 41) <= 12;
}

std::string Show(Pixel p)
{
    char text[64];
    std::snprintf(text, sizeof text, "(%d, %d, %d, alpha %d)", p.r, p.g, p.b, p.a);
    return text;
}

double Angle(int fpm)
{
    return NeedleAngleFromFpm(static_cast<float>(fpm));
}

// ---- Every image ---------------------------------------------------------------------------

struct ImageCase {
    const char* name;
    uint32_t width;
    uint32_t height;
};

const ImageCase AllImages[] = {
    {"face.png", 290, 290},    {"needle.png", 215, 215},     {"lamp_dot.png", 30, 30},
    {"lamp_ring.png", 30, 30}, {"light_disc.png", 270, 270},
};

TEST(AssetFiles, AreEightBitRgbaNotInterlacedAtTheirSizes)
{
    for (const ImageCase& c : AllImages) {
        SCOPED_TRACE(c.name);
        const DecodedPng& image = Asset(c.name);
        EXPECT_EQ(image.bitDepth, 8);
        EXPECT_EQ(image.colourType, PNG_COLOR_TYPE_RGB_ALPHA);
        EXPECT_EQ(image.interlace, PNG_INTERLACE_NONE);
        EXPECT_EQ(image.width, c.width);
        EXPECT_EQ(image.height, c.height);
        EXPECT_TRUE(image.ok);
    }
}

TEST(AssetFiles, IconHoldsThe48_32And16PixelImages)
{
    FILE* file = std::fopen(AssetPath("icon.ico").c_str(), "rb");
    ASSERT_NE(file, nullptr);
    uint8_t header[6 + 3 * 16] = {};
    size_t got = std::fread(header, 1, sizeof header, file);
    std::fclose(file);
    ASSERT_EQ(got, sizeof header);
    EXPECT_EQ(header[0] | header[1] << 8, 0);
    EXPECT_EQ(header[2] | header[3] << 8, 1) << "not an icon file";
    ASSERT_EQ(header[4] | header[5] << 8, 3);
    std::vector<int> sizes;
    for (int i = 0; i < 3; ++i) {
        sizes.push_back(header[6 + 16 * i]);
        EXPECT_EQ(header[6 + 16 * i], header[7 + 16 * i]) << "icon " << i << " is not square";
    }
    EXPECT_EQ(sizes, (std::vector<int>{48, 32, 16}));
}

// ---- Face ----------------------------------------------------------------------------------

class FaceTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Asset("face.png").ok); }
    const DecodedPng& face = Asset("face.png");
};

TEST_F(FaceTest, OutsideTheBezelIsTransparentInsideOpaque)
{
    // The bezel: a circle of radius about 143 near (144, 144), touching the left and top edges.
    for (int y = 0; y < 290; ++y) {
        for (int x = 0; x < 290; ++x) {
            double r = std::hypot(x + 0.5 - 144, y + 0.5 - 144);
            Pixel p = At(face, x, y);
            if (r < 141) {
                ASSERT_EQ(p.a, 255) << "at " << x << "," << y;
            } else if (r > 146) {
                ASSERT_EQ(p.a, 0) << "at " << x << "," << y;
            }
        }
    }
    for (int i = 0; i < 290; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(At(face, 289, i).a, 0);
        EXPECT_EQ(At(face, 288, i).a, 0);
        EXPECT_EQ(At(face, i, 289).a, 0);
        EXPECT_EQ(At(face, i, 288).a, 0);
    }
    EXPECT_GT(At(face, 0, 144).a, 0);
    EXPECT_GT(At(face, 144, 0).a, 0);
}

TEST_F(FaceTest, LongMarksSitAtTheScaleAnglesOnBothHalves)
{
    for (int v = 500; v <= 6000; v += 500) {
        for (int side = -1; side <= 1; side += 2) {
            double angle = side * Angle(v);
            SCOPED_TRACE(std::to_string(side * v) + " ft/min at " + std::to_string(angle));
            EXPECT_TRUE(IsWhiteish(FaceAt(angle, 105))) << Show(FaceAt(angle, 105));
            EXPECT_TRUE(IsWhiteish(FaceAt(angle, 100))) << Show(FaceAt(angle, 100));
        }
    }
}

TEST_F(FaceTest, ShortMarksEveryHundredBelowAThousandExceptFiveHundred)
{
    for (int v = 100; v < 1000; v += 100) {
        for (int side = -1; side <= 1; side += 2) {
            double angle = side * Angle(v);
            SCOPED_TRACE(std::to_string(side * v) + " ft/min");
            if (v == 100) {
                // Under the zero index only their inner ends show.
                EXPECT_TRUE(IsWhiteish(FaceAt(angle, 101.5))) << Show(FaceAt(angle, 101.5));
                continue;
            }
            EXPECT_TRUE(IsWhiteish(FaceAt(angle, 105))) << Show(FaceAt(angle, 105));
            if (v != 500) {
                EXPECT_TRUE(IsDialGrey(FaceAt(angle, 96))) << "short mark reaches in too far";
            }
        }
    }
}

TEST_F(FaceTest, DialIsBareBetweenTheLongMarksAboveAThousand)
{
    for (int v = 1000; v < 6000; v += 500) {
        for (int side = -1; side <= 1; side += 2) {
            double angle = side * (Angle(v) + Angle(v + 500)) / 2;
            SCOPED_TRACE(std::to_string(side * v) + " to " + std::to_string(side * (v + 500)));
            EXPECT_TRUE(IsDialGrey(FaceAt(angle, 105))) << Show(FaceAt(angle, 105));
        }
    }
}

TEST_F(FaceTest, ZeroIndexIsOrangeAndTheBracketClosesAtThreeOClock)
{
    Pixel zero = FaceAt(0, 107.5);
    EXPECT_NEAR(zero.r, 211, 25) << Show(zero);
    EXPECT_NEAR(zero.g, 137, 25) << Show(zero);
    EXPECT_NEAR(zero.b, 62, 25) << Show(zero);
    // The needle stops at 180 degrees, on the bar joining the two 6000 marks.
    bool bar = false;
    for (double r = 100; r <= 110; r += 0.5) {
        bar = bar || IsWhiteish(FaceAt(180, r));
    }
    EXPECT_TRUE(bar);
    EXPECT_TRUE(IsDialGrey(FaceAt(180, 95)));
}

struct LetteringCase {
    const char* text;
    int x0, x1, y0, y1;
};

const LetteringCase Lettering[] = {
    {"CLIMB", 112, 181, 101, 120},       {"1000 FT PER MINUTE", 96, 197, 123, 129},
    {".5 UP", 61, 96, 107, 117},         {".5 DOWN", 59, 112, 172, 184},
    {"climb 1", 84, 87, 82, 98},         {"climb 2", 133, 144, 59, 77},
    {"climb 4", 200, 213, 85, 102},      {"6", 221, 234, 137, 155},
    {"descent 4", 200, 213, 190, 208},   {"descent 2", 133, 144, 216, 235},
    {"descent 1", 83, 86, 193, 210},
};

TEST_F(FaceTest, LetteringFillsItsBoxes)
{
    for (const LetteringCase& c : Lettering) {
        SCOPED_TRACE(c.text);
        // The ink's box, from the light pixels in and just around the text's box.
        int minX = 999, maxX = -1, minY = 999, maxY = -1;
        for (int y = c.y0 - 1; y <= c.y1 + 1; ++y) {
            for (int x = c.x0 - 1; x <= c.x1 + 1; ++x) {
                Pixel p = At(face, x, y);
                if (p.g >= 140) {
                    minX = std::min(minX, x);
                    maxX = std::max(maxX, x);
                    minY = std::min(minY, y);
                    maxY = std::max(maxY, y);
                }
            }
        }
        EXPECT_NEAR(minX, c.x0, 1);
        EXPECT_NEAR(maxX, c.x1, 1);
        EXPECT_NEAR(minY, c.y0, 1);
        EXPECT_NEAR(maxY, c.y1, 1);
    }
}

// ---- Needle --------------------------------------------------------------------------------

class NeedleTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Asset("needle.png").ok); }
    const DecodedPng& needle = Asset("needle.png");
};

TEST_F(NeedleTest, TransparentOutsideItsBand)
{
    for (int y = 0; y < 215; ++y) {
        for (int x = 0; x < 215; ++x) {
            if (y < 96 || y > 114 || x > 145) {
                ASSERT_EQ(At(needle, x, y).a, 0) << "at " << x << "," << y;
            }
        }
    }
}

TEST_F(NeedleTest, OpaqueAlongTheAxisFromTipToKnob)
{
    for (int x = 1; x <= 140; ++x) {
        EXPECT_EQ(At(needle, x, 105).a, 255) << "at x " << x;
    }
    // The tip: a narrow point at the left edge, on the axis.
    EXPECT_GE(At(needle, 0, 105).a, 128);
    EXPECT_EQ(At(needle, 0, 101).a, 0);
    EXPECT_EQ(At(needle, 0, 110).a, 0);
    // The band is no wider than the hub, and has a partial-alpha fringe at its edges.
    EXPECT_GT(At(needle, 105, 96).a, 0);
    EXPECT_LT(At(needle, 105, 96).a, 255);
    EXPECT_GT(At(needle, 105, 114).a, 0);
    EXPECT_LT(At(needle, 105, 114).a, 255);
}

TEST_F(NeedleTest, WhitePointerGreyHubAndBlackPin)
{
    struct Case {
        const char* part;
        int x, y;
        Pixel colour;
        int tolerance;
    };
    const Case cases[] = {
        {"tip", 9, 105, {255, 255, 255, 255}, 0},
        {"shaft", 30, 105, {255, 255, 255, 255}, 0},
        {"sleeve", 70, 101, {255, 255, 255, 255}, 0},
        {"shaft near hub", 90, 103, {255, 255, 255, 255}, 0},
        {"hub", 101, 100, {66, 70, 71, 255}, 15},
        {"counterweight", 124, 105, {66, 70, 71, 255}, 15},
        {"knob", 139, 100, {66, 70, 71, 255}, 15},
        {"pin", 108, 105, {0, 0, 0, 255}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.part);
        Pixel p = At(needle, c.x, c.y);
        EXPECT_NEAR(p.r, c.colour.r, c.tolerance) << Show(p);
        EXPECT_NEAR(p.g, c.colour.g, c.tolerance) << Show(p);
        EXPECT_NEAR(p.b, c.colour.b, c.tolerance) << Show(p);
        EXPECT_EQ(p.a, 255);
    }
    // The shaft is narrower than the sleeve.
    EXPECT_EQ(At(needle, 30, 100).a, 0);
    EXPECT_EQ(At(needle, 70, 100).a, 255);
}

// ---- Lamp ----------------------------------------------------------------------------------

TEST(LampDot, RedDiscWithPartialRimAndGreyHighlight)
{
    const DecodedPng& dot = Asset("lamp_dot.png");
    ASSERT_TRUE(dot.ok);
    int partial = 0;
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 30; ++x) {
            SCOPED_TRACE(std::to_string(x) + "," + std::to_string(y));
            Pixel p = At(dot, x, y);
            bool inBox = x >= 10 && x <= 19 && y >= 10 && y <= 19;
            bool highlight = x >= 15 && x <= 17 && y >= 12 && y <= 14;
            if (!inBox) {
                ASSERT_EQ(p.a, 0);
            } else if (highlight) {
                EXPECT_EQ(p.r, 204);
                EXPECT_EQ(p.g, 204);
                EXPECT_EQ(p.b, 204);
                EXPECT_EQ(p.a, 255);
            } else if (p.a > 0) {
                EXPECT_TRUE(p.a == 64 || p.a == 128 || p.a == 191 || p.a == 255) << p.a;
                EXPECT_EQ(p.r, 255);
                EXPECT_EQ(p.g, 0);
                EXPECT_EQ(p.b, 0);
                partial += p.a < 255;
            }
        }
    }
    EXPECT_GT(partial, 0);
    EXPECT_EQ(At(dot, 12, 15).a, 255);
    EXPECT_EQ(At(dot, 15, 18).a, 255);
}

TEST(LampRing, RedHaloFadingOutwardWithAHole)
{
    const DecodedPng& ring = Asset("lamp_ring.png");
    ASSERT_TRUE(ring.ok);
    std::map<int, int> maxAlphaAtRadius;
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 30; ++x) {
            SCOPED_TRACE(std::to_string(x) + "," + std::to_string(y));
            Pixel p = At(ring, x, y);
            EXPECT_EQ(p.r, 255);
            EXPECT_EQ(p.g, 0);
            EXPECT_EQ(p.b, 0);
            EXPECT_LT(p.a, 255);
            double r = std::hypot(x + 0.5 - 15, y + 0.5 - 15);
            if (r < 4) {
                EXPECT_EQ(p.a, 0);
            }
            if (r >= 15) {
                EXPECT_EQ(p.a, 0);
            }
            if (std::fabs(r - 5) < 0.3) {
                EXPECT_NEAR(p.a, 170, 20);
            }
            if (r >= 5) {
                int& m = maxAlphaAtRadius[static_cast<int>(r)];
                m = std::max(m, p.a);
            }
        }
    }
    // Falling about 16 per pixel from r = 5 outwards.
    for (auto it = maxAlphaAtRadius.begin(); std::next(it) != maxAlphaAtRadius.end(); ++it) {
        SCOPED_TRACE("radius " + std::to_string(it->first));
        int fall = it->second - std::next(it)->second;
        if (std::next(it)->first < 15) {
            EXPECT_GE(fall, 8);
            EXPECT_LE(fall, 26);
        }
    }
}

// ---- Light disc ----------------------------------------------------------------------------

class LightDiscTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Asset("light_disc.png").ok); }
    const DecodedPng& disc = Asset("light_disc.png");
};

TEST_F(LightDiscTest, OpaqueDiscTransparentOutside)
{
    for (int y = 0; y < 270; ++y) {
        for (int x = 0; x < 270; ++x) {
            double r = std::hypot(x + 0.5 - 135, y + 0.5 - 136);
            int a = At(disc, x, y).a;
            if (r > 113) {
                ASSERT_EQ(a, 0) << "at " << x << "," << y;
            } else if (r < 110) {
                ASSERT_EQ(a, 255) << "at " << x << "," << y;
            }
        }
    }
}

TEST_F(LightDiscTest, AmberKeepsItsRatioAndIsLitFromTheUpperRight)
{
    int checked = 0;
    for (int y = 0; y < 270; ++y) {
        for (int x = 0; x < 270; ++x) {
            Pixel p = At(disc, x, y);
            if (p.a == 255 && p.r >= 60) {
                ASSERT_NEAR(double(p.g) / p.r, 0.66, 0.02) << "at " << x << "," << y;
                ASSERT_NEAR(double(p.b) / p.r, 0.05, 0.015) << "at " << x << "," << y;
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 10000);
    Pixel bright = At(disc, 200, 57);
    Pixel centre = At(disc, 135, 136);
    Pixel lowerLeft = At(disc, 135 - 74, 136 + 74);
    EXPECT_NEAR(bright.r, 241, 12) << Show(bright);
    EXPECT_NEAR(centre.r, 124, 12) << Show(centre);
    EXPECT_LT(lowerLeft.r, 20) << Show(lowerLeft);
    // Symmetric about the lit diagonal.
    Pixel left = At(disc, 96, 104);
    Pixel right = At(disc, 174, 168);
    EXPECT_NEAR(left.r, right.r, 8) << Show(left) << " against " << Show(right);
}

} // namespace
