// Proves what the sanitizer build reports and what it lets through. Run with one mode:
//   float     infinities and NaN as the field code makes them (a charge on a node, 0/0
//             normals, a contour through an infinite corner): must run clean, exit 0
//   overflow  a signed int overflow: must be reported
//   oob       a read one past a heap array: must be reported
//   leak      an array nobody frees: must be reported at exit
// The inputs come from the command line so the compiler cannot fold the faults away.
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/state.h"
#include "field/case_table.h"
#include "field/charge_field.h"

namespace {

int FloatData() {
    // A node exactly on a charge: +inf in the field, inf and NaN in gradients and crossings.
    field::PlaceCharges(0.0f, charges);
    for (int a = 0; a < demo::kGridSide; ++a) {
        for (int b = 0; b < demo::kGridSide; ++b) {
            fieldGrid[demo::kGrid.Index(a, b)] = FieldValue(float(a), float(b));
        }
    }
    for (int a = 0; a < demo::kGridSide; ++a) {
        for (int b = 0; b < demo::kGridSide; ++b) {
            gradientGrid[demo::kGrid.Index(a, b)] = FieldGradient(a, b, 1.0f);
        }
    }
    BuildCaseTable();
    // Only the three infinite nodes lie above: every crossing starts or ends at one of them.
    threshold = 100.0f;
    Vector2 *points = nullptr, *normals = nullptr;
    const int n = ExtractContour(&points, &normals);
    int nanPoints = 0, nanNormals = 0;
    for (int i = 0; i < n; ++i) {
        nanPoints += std::isnan(points[i].x) || std::isnan(points[i].y);
        nanNormals += std::isnan(normals[i].x);
    }
    delete[] points;
    delete[] normals;
    const bool infinite = std::isinf(fieldGrid[demo::kGrid.Index(40, 60)]);
    std::printf("float: %d end points, %d with NaN, %d NaN normals, node (40, 60) %s\n", n,
                nanPoints, nanNormals, infinite ? "infinite" : "finite");
    // The probe only proves something if the fixture really made infinities and NaN.
    return infinite && nanPoints > 0 && nanNormals > 0 ? 0 : 1;
}

int Overflow(const char* arg) {
    const int big = INT_MAX - 1 + std::atoi(arg); // INT_MAX for an argument of 1
    const int sum = big + std::atoi(arg);
    std::printf("overflow: %d\n", sum);
    return 0;
}

int OutOfBounds(const char* arg) {
    const int n = std::atoi(arg);
    std::vector<int> v(std::size_t(n), 7);
    volatile int x = v.data()[n]; // one past the end
    std::printf("oob: %d\n", x);
    return 0;
}

int Leak(const char* arg) {
    int* p = new int[std::size_t(std::atoi(arg))];
    p[0] = 1;
    std::printf("leak: %p\n", static_cast<void*>(p));
    p = nullptr;
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const char* mode = argc > 1 ? argv[1] : "";
    const char* arg = argc > 2 ? argv[2] : "1";
    if (std::strcmp(mode, "float") == 0) return FloatData();
    if (std::strcmp(mode, "overflow") == 0) return Overflow(arg);
    if (std::strcmp(mode, "oob") == 0) return OutOfBounds(arg);
    if (std::strcmp(mode, "leak") == 0) return Leak(arg);
    std::fprintf(stderr, "usage: sanitizer_probe float|overflow|oob|leak [n]\n");
    return 2;
}
