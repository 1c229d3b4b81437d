// gradient-render: samples one frame of the animation without a window and reports its contour.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "field/charge_field.h"
#include "field/contour.h"

int main(int argc, char** argv) {
    float t = 0.0f, level = 0.6f;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--time") == 0 && hasValue) {
            t = std::strtof(argv[++i], nullptr);
        } else if (std::strcmp(argv[i], "--threshold") == 0 && hasValue) {
            level = std::strtof(argv[++i], nullptr);
        } else {
            std::fprintf(stderr, "gradient-render: unknown argument '%s'\n", argv[i]);
            return 2;
        }
    }
    Vector2 c[field::kChargeCount];
    field::PlaceCharges(t, c);
    std::vector<float> f(field::kDemoNodes);
    std::vector<Vector2> g(field::kDemoNodes), pts, nrm;
    field::SampleField(c, field::kDemoGrid, 1.0f, f);
    field::SampleGradient(f, field::kDemoGrid, 1.0f, g);
    const int n = field::ExtractContourLines(f, g, field::kDemoGrid, level, field::kCaseSegments,
                                             pts, nrm);
    std::printf("t = %g s, threshold = %g: %d contour end points\n", double(t), double(level), n);
    return 0;
}
