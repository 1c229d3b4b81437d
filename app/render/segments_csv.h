// The contour segments as CSV: one row per segment, in extraction order, grid units.
#pragma once

#include <cstdint>
#include <cstdio>

#include "math/vector2.h"

// Header x1,y1,x2,y2,nx1,ny1,nx2,ny2; numbers as %.9g (enough to give back every float),
// NaN as "nan" and infinities as "inf"/"-inf" whatever the C library would print.
bool WriteSegmentsCsv(std::FILE* file, const Vector2* points, const Vector2* normals,
                      std::int32_t count);
