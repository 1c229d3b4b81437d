#include "bench/picture.h"

#include "field/charge_field.h"

namespace bench {

float PictureSpacing(int n) { return float(79.0 / double(n - 1)); }

std::vector<float> PictureField(int n) {
    Vector2 at[field::kChargeCount];
    field::PlaceCharges(kPictureTime, at);
    std::vector<float> out(std::size_t(n) * std::size_t(n));
    field::SampleField(at, field::GridSize{n, n}, PictureSpacing(n), out);
    return out;
}

std::vector<Vector2> DemoGradient(const std::vector<float>& field, int n) {
    std::vector<Vector2> out(field.size());
    field::SampleGradient(field, field::GridSize{n, n}, 1.0f, out);
    return out;
}

} // namespace bench
