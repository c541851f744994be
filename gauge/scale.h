// The vertical speed scale: raw simulator units to feet per minute, and feet per minute to a
// needle angle on the dial's non-linear graduation. Pure single-precision functions, no state.
#pragma once

#include <cstdint>

// One row of the graduation. The angle is |fpm| divided by a divisor in ft/min per degree: a
// constant (`isConstant`, divisor `base`) or ((b + offset) * slope) + base. Rows are picked by
// n, |fpm| rounded half-to-even; the last row (nFrom > nTo) takes every n no other row holds.
struct ScaleSegment {
    int32_t nFrom;
    int32_t nTo;
    bool isConstant;
    float offset;
    float slope;
    float base;
};

constexpr int ScaleSegmentCount = 12;
extern const ScaleSegment ScaleSegments[ScaleSegmentCount];

// Raw vertical speed (1/256 m/s, positive climbing) to ft/min.
float FpmFromRaw(int32_t raw);

// ft/min to the unclamped needle angle in degrees, positive clockwise (climb).
float NeedleAngleFromFpm(float fpm);

// Limits an angle to [-180, +180].
float ClampNeedleAngle(float angle);
