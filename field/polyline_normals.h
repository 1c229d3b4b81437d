// Unit normals of the segments of an open polyline.
#pragma once

#include <cstdint>

#include "math/vector2.h"

// One normal per segment p[k] -> p[k + 1]: the direction turned a quarter turn clockwise in
// y-up terms ((1, 0) gives (0, -1)), normalised; a zero-length segment gives (NaN, NaN).
// *normals always receives a new[]-allocated array (also for a count of 0) that the caller
// delete[]s. Returns n - 1 for n >= 2, otherwise 0.
std::int32_t PolylineNormals(const Vector2* points, std::int32_t n, Vector2** normals);
