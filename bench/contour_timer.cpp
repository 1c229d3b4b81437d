// gradient-bench-contour: times the size-generic contour extraction on a field read from a raw
// float32 file (node (a, b) at a * n + b). The gradient is taken as the demo takes it, outside
// the timing; only the extraction is timed. Prints the median microseconds and the number of
// end points; --points also writes the end points as float32 pairs (x, y) for checking.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/state.h"
#include "bench/picture.h"
#include "field/case_table.h"
#include "field/crossings.h"

namespace {

constexpr const char* kUsage =
    "usage: gradient-bench-contour --field FILE --size N --threshold V --repeat R [--points FILE]";

struct Options {
    std::string field;
    std::string points;
    int size = 0;
    float threshold = 0.0f;
    int repeat = 0;
};

[[noreturn]] void Fail(const std::string& message) {
    std::fprintf(stderr, "gradient-bench-contour: %s\n", message.c_str());
    std::exit(2);
}

long ParseCount(const std::string& name, const std::string& text, long lo, long hi) {
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || v < lo || v > hi)
        Fail(name + " needs a whole number from " + std::to_string(lo) + " to " +
             std::to_string(hi) + ", got '" + text + "'");
    return v;
}

Options Parse(int argc, char** argv) {
    Options o;
    bool haveThreshold = false;
    for (int i = 1; i < argc; ++i) {
        const std::string opt = argv[i];
        if (opt == "--help" || opt == "-h") {
            std::printf("%s\n", kUsage);
            std::exit(0);
        }
        if (opt != "--field" && opt != "--size" && opt != "--threshold" && opt != "--repeat" &&
            opt != "--points")
            Fail("unknown argument '" + opt + "' (" + kUsage + ")");
        if (i + 1 >= argc) Fail(opt + " needs a value");
        const std::string val = argv[++i];
        if (opt == "--field") o.field = val;
        if (opt == "--points") o.points = val;
        if (opt == "--size") o.size = int(ParseCount(opt, val, 2, 46340));
        if (opt == "--repeat") o.repeat = int(ParseCount(opt, val, 1, 1000000));
        if (opt == "--threshold") {
            char* end = nullptr;
            o.threshold = std::strtof(val.c_str(), &end);
            if (val.empty() || *end != '\0' || !std::isfinite(o.threshold))
                Fail("--threshold needs a finite number, got '" + val + "'");
            haveThreshold = true;
        }
    }
    if (o.field.empty() || o.size == 0 || !haveThreshold || o.repeat == 0)
        Fail(std::string("--field, --size, --threshold and --repeat are all required (") + kUsage +
             ")");
    return o;
}

std::vector<float> ReadField(const std::string& path, int n) {
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (!in) Fail("cannot open '" + path + "'");
    const std::size_t want = std::size_t(n) * std::size_t(n);
    std::vector<float> f(want);
    const std::size_t got = std::fread(f.data(), sizeof(float), want, in);
    const bool longer = std::fgetc(in) != EOF;
    std::fclose(in);
    if (got != want || longer)
        Fail("'" + path + "' does not hold exactly " + std::to_string(want) + " float32 values");
    return f;
}

void WritePoints(const std::string& path, const std::vector<Vector2>& points) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) Fail("cannot write '" + path + "'");
    for (const Vector2& p : points) {
        const float xy[2] = {p.x, p.y};
        std::fwrite(xy, sizeof(float), 2, out);
    }
    if (std::fclose(out) != 0) Fail("cannot write '" + path + "'");
}

} // namespace

int main(int argc, char** argv) {
    const Options o = Parse(argc, argv);
    const std::vector<float> f = ReadField(o.field, o.size);
    const std::vector<Vector2> g = bench::DemoGradient(f, o.size);
    const contour::GridSize size{o.size, o.size};

    std::vector<Vector2> points, normals;
    contour::Workspace work;
    std::vector<double> micros;
    micros.reserve(std::size_t(o.repeat));
    int count = 0;
    for (int r = 0; r < o.repeat; ++r) {
        const auto start = std::chrono::steady_clock::now();
        count = field::ExtractContourLines(f, g, size, o.threshold, contour::kCaseSegments, points,
                                           normals, work);
        const auto stop = std::chrono::steady_clock::now();
        micros.push_back(std::chrono::duration<double, std::micro>(stop - start).count());
    }
    std::sort(micros.begin(), micros.end());
    const std::size_t m = micros.size();
    const double median = m % 2 ? micros[m / 2] : 0.5 * (micros[m / 2 - 1] + micros[m / 2]);
    if (!o.points.empty()) WritePoints(o.points, points);
    std::printf("median_us %.3f end_points %d\n", median, count);
    return 0;
}
