// The three-charge scalar field and its gradient, size-generic, over explicit inputs (the demo's
// grids and its FieldValue and FieldGradient are in app/).
#pragma once

#include <span>

#include "field/grid.h"
#include "math/vector2.h"

namespace field {

using field::GridSize;

inline constexpr int kChargeCount = 3;
inline constexpr float kChargeStrength = 3.0f;

// The charges' positions t seconds into the animation, around the centre (40, 40):
//   0: centre + (sin t, cos t) * 20     a circle
//   1: centre + (sin 2t, cos t) * 5     a figure of eight
//   2: centre + (sin t, cos 2t) * 25    a swing along a parabolic arc
// sin and cos are taken in double of the float argument and rounded to float; 2t is t + t.
void PlaceCharges(float t, std::span<Vector2, kChargeCount> out);

// f(p) = sum over the charges, in order, of (1 / |p - c|) * 3, summed in float.
// A point on a charge gives +inf; nothing checks.
float ChargeFieldAt(std::span<const Vector2> charges, Vector2 p);

// out[Index(a, b)] = ChargeFieldAt(charges, (a * spacing, b * spacing)), products in float.
// out must hold g.NodeCount() values.
void SampleField(std::span<const Vector2> charges, GridSize g, float spacing, std::span<float> out);

// Central difference over two spacings divided by one step (so twice the slope per unit at
// step 1); the zero vector on the outer ring of nodes.
Vector2 NodeGradient(std::span<const float> field, GridSize g, int a, int b, float step);

// out[Index(a, b)] = NodeGradient(field, g, a, b, step) for every node.
void SampleGradient(std::span<const float> field, GridSize g, float step, std::span<Vector2> out);

} // namespace field
