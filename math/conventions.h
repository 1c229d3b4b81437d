// The math library's conventions, shared by every type in math/.
//
// - Plain value types: public float members, no virtuals, no allocation; copies are bitwise.
// - Row vectors on the left of row-major matrices (v' = v * M); the translation sits in the
//   last row. Matrices are stored row by row: element (r, c) is m[4 * r + c] (Matrix4) or
//   m[3 * r + c] (Matrix3).
// - Composition multiplies on the right: A * B applies A first, then B, and every operation that
//   adds a transform to a matrix (Translate, Rotate, Scale, *=) does receiver = receiver * X, so
//   the new transform acts after what the matrix already held. Set... replaces the matrix.
// - Rotations: the Euler forms turn a positive angle from y to z, z to x, x to y and apply x,
//   then y, then z about the fixed axes. The axis form (SetRotation(axis, angle)) turns the
//   other way and uses its axis unnormalised.
// - Angles are radians.
// - Two-operand operators return a new value and leave both operands alone. Compound operators
//   (+=, *=, ...) and the verbs Normalize, Translate, Scale, Transform, Rotate, Transpose and
//   Set... change the receiver and return nothing. Normalized and Transposed (participles),
//   Determinant, Adjoint, Inverse and Get... return values and leave the receiver alone.
// - Every stored component is an IEEE single, rounded once where it is stored. Arithmetic is
//   carried in float; square roots, sines and cosines are taken in double of the float argument
//   and rounded to float once (the explicit float(...) conversions mark those rounding points).
//   Sums run left to right in the written order, and x * y * t is (x * y) * t.
// - Nothing checks its arguments: division by zero gives inf or NaN, which flow on as data.
// - Equality of vectors means "the length of the difference is below kEqualityTolerance";
//   equality with a number means |Length() - f| below it. Ordering (<, >) compares squared
//   lengths, and with a number compares the squared length with the number unsquared.
// - [] clamps: every index past the last component (and every negative one) selects the last.
#pragma once

namespace gmath {

// The float nearest to 1e-8 (9.99999993922529e-09). Compared in float: a double 1e-8 answers
// differently at the boundary.
inline constexpr float kEqualityTolerance = 1e-8f;

} // namespace gmath
