// SampleField on its own: the one loop of the field that is compiled for vector registers
// (see field/CMakeLists.txt), kept apart from the rest so that the flags touch nothing else.
#include <cassert>
#include <cmath>

#include "field/charge_field.h"

namespace field {

void SampleField(std::span<const Vector2> charges, GridSize g, float spacing,
                 std::span<float> out) {
    assert(out.size() >= g.NodeCount() && "field output smaller than the grid");
    if (g.NodeCount() == 0) return;
    // Charge by charge over a whole node row: each node's sum still starts at 0 and takes the
    // charges in order, with the operations of ChargeFieldAt, while the row's nodes are
    // independent of one another (field/CMakeLists.txt lets this loop use vector registers).
    const std::size_t ny = std::size_t(g.ny);
    for (int a = 0; a < g.nx; ++a) {
        const float px = float(a) * spacing;
        float* row = out.data() + g.Index(a, 0);
        for (std::size_t b = 0; b < ny; ++b)
            row[b] = 0.0f;
        for (const Vector2& c : charges) {
            const float dx = px - c.x;
            const float cy = c.y;
            for (std::size_t b = 0; b < ny; ++b) {
                const float dy = float(int(b)) * spacing - cy;
                const float len = float(std::sqrt(double(dx * dx + dy * dy)));
                row[b] = row[b] + (1.0f / len) * kChargeStrength;
            }
        }
    }
}

} // namespace field
