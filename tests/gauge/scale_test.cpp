// The scale's results compared bit for bit with the calibration values. The same program runs
// natively and, cross-built, under Wine: it is what shows that the i686 build does its float
// arithmetic exactly as the native one.
#include "gauge/scale.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

uint32_t Bits(float f)
{
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

std::string Show(float f)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.9g (%a)", f, f);
    return text;
}

#define EXPECT_SAME_FLOAT(expected, actual)                                            \
    EXPECT_EQ(Bits(expected), Bits(actual)) << "expected " << Show(expected) << ", got " \
                                            << Show(actual)

struct RawCase {
    int32_t raw;
    float fpm;
    float angle;        // unclamped
    float clamped;
};

// Values from the calibration; each decimal names exactly one float.
const RawCase RawCases[] = {
    {0, 0.0f, 0.0f, 0.0f},
    {1, 0.768946886f, 0.0307578761f, 0.0307578761f},
    {-1, -0.768946886f, -0.0307578761f, -0.0307578761f},
    {256, 196.850403f, 7.87401628f, 7.87401628f},
    {8261, 6352.27002f, 179.980988f, 179.980988f},
    {8262, 6353.03906f, 180.002777f, 180.0f},
    {-8262, -6353.03906f, -180.002777f, -180.0f},
};

TEST(ScaleFromRaw, MatchesCalibrationBitForBit)
{
    for (const RawCase& c : RawCases) {
        SCOPED_TRACE("raw " + std::to_string(c.raw));
        float fpm = FpmFromRaw(c.raw);
        EXPECT_SAME_FLOAT(c.fpm, fpm);
        float angle = NeedleAngleFromFpm(fpm);
        EXPECT_SAME_FLOAT(c.angle, angle);
        EXPECT_SAME_FLOAT(c.clamped, ClampNeedleAngle(angle));
    }
}

TEST(ScaleFromRaw, ExtremesUseTheLastRowAndClampToHalfATurn)
{
    // raw * 60 must be rounded once from the exact product: rounding raw to float first gives
    // a different result for values this large.
    EXPECT_SAME_FLOAT(static_cast<float>(2147483647.0 * 60.0) * 3.2808399f / 256.0f,
                      FpmFromRaw(INT32_MAX));
    EXPECT_SAME_FLOAT(static_cast<float>(-2147483648.0 * 60.0) * 3.2808399f / 256.0f,
                      FpmFromRaw(INT32_MIN));
    EXPECT_NEAR(1.65e9, FpmFromRaw(INT32_MAX), 0.01e9);

    for (int32_t raw : {INT32_MAX, INT32_MIN}) {
        float fpm = FpmFromRaw(raw);
        float angle = NeedleAngleFromFpm(fpm);
        EXPECT_SAME_FLOAT(fpm / 35.294117f, angle);
        EXPECT_SAME_FLOAT(raw > 0 ? 180.0f : -180.0f, ClampNeedleAngle(angle));
    }
}

struct FpmCase {
    float fpm;
    float angle;
};

const FpmCase FpmCases[] = {
    {1000.0f, 40.0f},
    {-1000.0f, -40.0f},
    {1500.0f, 62.9999962f},
    {2000.0f, 81.9999924f},
    {3000.0f, 112.000008f},
    {3500.0f, 125.999992f},
    {6000.0f, 170.0f},
    {-6000.0f, -170.0f},
    {7000.0f, 198.333344f},
    // The seam: 1000.5 rounds (half to even) to n = 1000 and keeps the constant divisor;
    // 1001.5 rounds to 1002 and takes the second row.
    {1000.5f, 40.0200005f},
    {1001.5f, 40.0657234f},
    {0.0f, 0.0f},
};

TEST(ScaleFromFpm, MatchesCalibrationBitForBit)
{
    for (const FpmCase& c : FpmCases) {
        SCOPED_TRACE("fpm " + Show(c.fpm));
        EXPECT_SAME_FLOAT(c.angle, NeedleAngleFromFpm(c.fpm));
    }
}

TEST(ScaleFromFpm, NegativeZeroGivesPositiveZero)
{
    EXPECT_SAME_FLOAT(0.0f, NeedleAngleFromFpm(-0.0f));
}

TEST(ScaleFromFpm, RowsMeetAtTheirNodes)
{
    // The divisor runs from node to node, so each row reaches the angle of its upper node
    // (to within rounding) and the next row starts there.
    const float nodes[] = {1000, 1500, 2000, 2500, 3000, 3500, 4000, 4500, 5000, 5500, 6000};
    const float angles[] = {40, 63, 82, 97, 112, 126, 139, 149, 158, 165, 170};
    for (int i = 0; i < 11; ++i) {
        SCOPED_TRACE("node " + Show(nodes[i]));
        EXPECT_NEAR(angles[i], NeedleAngleFromFpm(nodes[i]), 1e-4);
        EXPECT_NEAR(angles[i], NeedleAngleFromFpm(nodes[i] + 1.0f), 0.1);
    }
}

TEST(ScaleFromFpm, AngleGrowsWithSpeedAndIsOdd)
{
    float last = 0.0f;
    for (float v = 1.0f; v <= 8000.0f; v += 0.5f) {
        float a = NeedleAngleFromFpm(v);
        ASSERT_GE(a, last) << "at " << v;
        ASSERT_EQ(Bits(-a), Bits(NeedleAngleFromFpm(-v))) << "at " << v;
        last = a;
    }
}

TEST(ScaleClamp, LimitsToHalfATurnAndPassesTheRest)
{
    EXPECT_SAME_FLOAT(180.0f, ClampNeedleAngle(180.0001f));
    EXPECT_SAME_FLOAT(-180.0f, ClampNeedleAngle(-1e30f));
    EXPECT_SAME_FLOAT(180.0f, ClampNeedleAngle(180.0f));
    EXPECT_SAME_FLOAT(-179.5f, ClampNeedleAngle(-179.5f));
    EXPECT_SAME_FLOAT(180.0f, ClampNeedleAngle(NeedleAngleFromFpm(FLT_MAX)));
}

} // namespace
