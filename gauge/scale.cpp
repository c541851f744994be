// The vertical speed scale. Every operation rounds to 32-bit float: the table's constants are
// the exact floats the dial was calibrated with, and the build forbids fused multiply-adds and
// x87 extended precision so that the results are the same bits on every target.
#include "gauge/scale.h"

#include <cmath>

const ScaleSegment ScaleSegments[ScaleSegmentCount] = {
    {0, 1000, true, 0.0f, 0.0f, 25.0f},
    {1001, 1500, false, -1000.0f, -0.002380952f, 25.0f},
    {1501, 2000, false, -1500.0f, 0.00116144f, 23.809525f},
    {2001, 2500, false, -2000.0f, 0.002765904f, 24.390244f},
    {2501, 3000, false, -2500.0f, 0.002025037f, 25.773195f},
    {3001, 3500, false, -3000.0f, 0.001984127f, 26.785715f},
    {3501, 4000, false, -3500.0f, 0.001998401f, 27.777779f},
    {4001, 4500, false, -4000.0f, 0.002848728f, 28.776978f},
    {4501, 5000, false, -4500.0f, 0.002888455f, 30.201342f},
    {5001, 5500, false, -5000.0f, 0.003375527f, 31.645569f},
    {5501, 6000, false, -5500.0f, 0.003921569f, 33.333332f},
    {1, 0, true, 0.0f, 0.0f, 35.294117f},
};

float FpmFromRaw(int32_t raw)
{
    // raw * 60 is exact in double; rounding it once to float is what the scale asks for, where
    // converting raw to float first would round twice for large values.
    float minutes = static_cast<float>(static_cast<double>(raw) * 60.0);
    float feet = minutes * 3.2808399f;
    return feet / 256.0f;
}

static const ScaleSegment& SegmentFor(float b)
{
    // nearbyintf rounds half to even in the default mode and is exact, so comparing the rounded
    // float against the rows is the same as comparing the rounded integer, without overflowing
    // an int for huge or infinite speeds.
    float rounded = std::nearbyint(b);
    for (int i = 0; i < ScaleSegmentCount - 1; ++i) {
        const ScaleSegment& row = ScaleSegments[i];
        if (rounded >= static_cast<float>(row.nFrom) && rounded <= static_cast<float>(row.nTo))
            return row;
    }
    return ScaleSegments[ScaleSegmentCount - 1];
}

float NeedleAngleFromFpm(float fpm)
{
    float s = 0.0f;
    if (fpm > 0.0f)
        s = 1.0f;
    else if (fpm < 0.0f)
        s = -1.0f;
    float b = std::fabs(fpm);
    const ScaleSegment& row = SegmentFor(b);
    float d = row.base;
    if (!row.isConstant) {
        float shifted = b + row.offset;
        float scaled = shifted * row.slope;
        d = scaled + row.base;
    }
    float q = b / d;
    return s * q;
}

float ClampNeedleAngle(float angle)
{
    if (angle > 180.0f)
        angle = 180.0f;
    if (angle < -180.0f)
        angle = -180.0f;
    return angle;
}
