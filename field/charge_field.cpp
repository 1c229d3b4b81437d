#include "field/charge_field.h"

#include <cassert>
#include <cmath>

namespace field {

void PlaceCharges(float t, std::span<Vector2, kChargeCount> out) {
    const Vector2 offs(40.0f, 40.0f);
    const float t2 = t + t;
    const float sin1 = float(std::sin(double(t))), cos1 = float(std::cos(double(t)));
    const float sin2 = float(std::sin(double(t2))), cos2 = float(std::cos(double(t2)));
    out[0] = offs + Vector2(sin1, cos1) * 20.0f;
    out[1] = offs + Vector2(sin2, cos1) * 5.0f;
    out[2] = offs + Vector2(sin1, cos2) * 25.0f;
}

float ChargeFieldAt(std::span<const Vector2> charges, Vector2 p) {
    float sum = 0.0f;
    for (const Vector2& c : charges) {
        const float len = (p - c).Length();
        sum = sum + (1.0f / len) * kChargeStrength;
    }
    return sum;
}

Vector2 NodeGradient(std::span<const float> field, GridSize g, int a, int b, float step) {
    if (a < 1 || a > g.nx - 2 || b < 1 || b > g.ny - 2) return Vector2(0.0f, 0.0f);
    return Vector2((field[g.Index(a + 1, b)] - field[g.Index(a - 1, b)]) / step,
                   (field[g.Index(a, b + 1)] - field[g.Index(a, b - 1)]) / step);
}

} // namespace field
