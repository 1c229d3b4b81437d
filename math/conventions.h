// The math library's conventions, shared by every type in math/.
//
// - Plain value types: public float members, no virtuals, no allocation; copies are bitwise.
// - Row vectors on the left of row-major matrices (v' = v * M); the translation sits in the
//   last row. Matrices are stored row by row.
// - Angles are radians.
// - Two-operand operators return a new value and leave both operands alone. Compound operators
//   (+=, *=, ...) and the verbs Normalize, Translate, Scale, Transform, Rotate change the
//   receiver and return nothing. Normalized (a participle) returns a copy.
// - Every stored component is an IEEE single, rounded once where it is stored. Arithmetic is
//   carried in float; square roots, sines and cosines are taken in double of the float argument
//   and rounded to float once (the explicit float(...) conversions mark those rounding points).
// - Nothing checks its arguments: division by zero gives inf or NaN, which flow on as data.
// - Equality of vectors means "the length of the difference is below kEqualityTolerance".
#pragma once

namespace gmath {

// The float nearest to 1e-8 (9.99999993922529e-09). Compared in float: a double 1e-8 answers
// differently at the boundary.
inline constexpr float kEqualityTolerance = 1e-8f;

} // namespace gmath
