// The benchmark picture: the demo's three charges at t = 1.3 s, sampled on an n x n grid that
// spans the demo's 79 x 79 grid units, node (a, b) at (a * 79 / (n - 1), b * 79 / (n - 1)).
// At n = 80 it is exactly the demo's own field grid for that frame.
#pragma once

#include <vector>

#include "math/vector2.h"

namespace bench {

inline constexpr float kPictureTime = 1.3f;
inline constexpr float kPictureThreshold = 0.6f;
inline constexpr int kPictureSizes[] = {80, 256, 1024, 2048, 4096};

// The distance between neighbouring nodes in the demo's grid units: 79 / (n - 1) rounded to
// float (1 for n = 80).
float PictureSpacing(int n);

// The n x n field, node (a, b) at a * n + b.
std::vector<float> PictureField(int n);

// The gradient of a field the way the demo takes it (step 1, zero on the outer ring).
std::vector<Vector2> DemoGradient(const std::vector<float>& field, int n);

} // namespace bench
