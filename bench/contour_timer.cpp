// gradient-bench-contour: times contour extraction on a field read from a file, and prints the
// median microseconds.
//   Without --lines: the demo's size-generic core (separate segments) on a raw float32 N x N
//   field (node (a, b) at a * N + b), the gradient taken as the demo takes it outside the timing;
//   prints the number of end points; --points writes them as float32 pairs (x, y).
//   With --lines: the contouring library's joined lines, on the raw field (a = x) or on a .npy
//   array (--npy, float32 or float64, z[row][col] at x = col), at one level or several in one
//   call, on --threads threads; each timed call returns a fresh result, or with --reuse writes
//   into one kept result with one kept Workspace. Prints the lines, the points and the memory a
//   fresh call used beyond its output (peak_extra_bytes: the most it held at once, less what
//   the result holds), and the median processor time of the calls (cpu_us).
//   With --filled: the library's filled bands between the levels (two levels: one band; more:
//   every band in one call), a fresh result each call; prints the polygons, rings and points.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <new>
#include <string>
#include <vector>

#include "bench/picture.h"
#include "isocontour/isocontour.h"
#include "field/case_table.h"
#include "field/crossings.h"
#include "cli/npy_file.h"

// ---- Every allocation of the process counted, live and peak: the memory a call uses.
namespace {
std::atomic<long long> liveBytes{0}, peakBytes{0};
constexpr std::size_t kHeader = 16; // keeps the block's alignment at 16

void* Counted(std::size_t n) {
    void* p = std::malloc(n + kHeader);
    if (!p) throw std::bad_alloc();
    *static_cast<std::size_t*>(p) = n;
    const long long now = liveBytes += (long long)n;
    for (long long peak = peakBytes; now > peak && !peakBytes.compare_exchange_weak(peak, now);) {
    }
    return static_cast<char*>(p) + kHeader;
}
void Uncounted(void* p) noexcept {
    if (!p) return;
    void* block = static_cast<char*>(p) - kHeader;
    liveBytes -= (long long)*static_cast<std::size_t*>(block);
    std::free(block);
}
} // namespace

void* operator new(std::size_t n) { return Counted(n); }
void* operator new[](std::size_t n) { return Counted(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    try {
        return Counted(n);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t n, const std::nothrow_t& t) noexcept { return operator new(n, t); }
void operator delete(void* p) noexcept { Uncounted(p); }
void operator delete[](void* p) noexcept { Uncounted(p); }
void operator delete(void* p, std::size_t) noexcept { Uncounted(p); }
void operator delete[](void* p, std::size_t) noexcept { Uncounted(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { Uncounted(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { Uncounted(p); }

namespace {

constexpr const char* kUsage =
    "usage: gradient-bench-contour (--field FILE --size N | --npy FILE) (--threshold V | --levels "
    "A,B,...) --repeat R [--lines [--reuse] | --filled] [--threads N] [--points FILE]";

struct Options {
    std::string field, npy, points;
    int size = 0;
    std::vector<std::string> levels; // as given, read in the field's type; --threshold is one
    int repeat = 0;
    bool lines = false;
    bool filled = false; // the library's bands (implies the library, like --lines)
    bool reuse = false;  // time calls that reuse one output and one Workspace
    int threads = 1;
    bool haveThreads = false;
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

// A level as the values' type reads it: float levels are rounded once, from the text.
template <class T> T Level(const std::string& text) {
    const T v = sizeof(T) == sizeof(float) ? T(std::strtof(text.c_str(), nullptr))
                                           : T(std::strtod(text.c_str(), nullptr));
    if (!std::isfinite(v)) Fail("the level " + text + " is beyond the field's type");
    return v;
}

// Every level of the command line in the values' type.
template <class T> std::vector<T> Levels(const Options& o) {
    std::vector<T> levels;
    for (const std::string& l : o.levels)
        levels.push_back(Level<T>(l));
    return levels;
}

std::vector<std::string> ParseLevels(const std::string& name, const std::string& text) {
    std::vector<std::string> out;
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const std::string item = text.substr(start, comma - start);
        char* end = nullptr;
        const double v = std::strtod(item.c_str(), &end);
        if (item.empty() || *end != '\0' || !std::isfinite(v))
            Fail(name + " needs finite numbers separated by commas, got '" + text + "'");
        out.push_back(item);
        start = comma + 1;
    }
    return out;
}

Options Parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string opt = argv[i];
        if (opt == "--help" || opt == "-h") {
            std::printf("%s\n", kUsage);
            std::exit(0);
        }
        if (opt == "--lines" || opt == "--filled" || opt == "--reuse") {
            (opt == "--lines" ? o.lines : opt == "--filled" ? o.filled : o.reuse) = true;
            continue;
        }
        if (opt != "--field" && opt != "--size" && opt != "--threshold" && opt != "--repeat" &&
            opt != "--points" && opt != "--levels" && opt != "--threads" && opt != "--npy")
            Fail("unknown argument '" + opt + "' (" + kUsage + ")");
        if (i + 1 >= argc) Fail(opt + " needs a value");
        const std::string val = argv[++i];
        if (opt == "--field") o.field = val;
        if (opt == "--npy") o.npy = val;
        if (opt == "--points") o.points = val;
        if (opt == "--size") o.size = int(ParseCount(opt, val, 2, 46340));
        if (opt == "--repeat") o.repeat = int(ParseCount(opt, val, 1, 1000000));
        if (opt == "--threads")
            o.threads = int(ParseCount(opt, val, 0, 1024)), o.haveThreads = true;
        if (opt == "--threshold" || opt == "--levels") {
            o.levels = ParseLevels(opt, val);
            if (opt == "--threshold" && o.levels.size() != 1)
                Fail("--threshold needs one finite number, got '" + val + "'");
        }
    }
    const bool raw = !o.field.empty() && o.size != 0;
    if ((raw == !o.npy.empty()) || o.levels.empty() || o.repeat == 0)
        Fail(std::string("a field (--field and --size, or --npy), --threshold or --levels, and "
                         "--repeat are required (") +
             kUsage + ")");
    if (o.lines && o.filled) Fail("--lines and --filled are two different timings: one at a time");
    if (o.filled && o.levels.size() < 2) Fail("--filled needs --levels with two levels or more");
    if (o.reuse && !o.lines) Fail("--reuse goes with --lines");
    const bool library = o.lines || o.filled;
    if (!library && (!o.npy.empty() || o.levels.size() != 1 || o.haveThreads))
        Fail("--npy, --levels and --threads go with --lines or --filled");
    if (library && !o.points.empty()) Fail("--points goes without --lines and --filled");
    return o;
}

std::vector<float> ReadField(const std::string& path, int n) {
    std::vector<float> f;
    std::string error;
    if (!ReadRawFloat32(path, std::size_t(n) * std::size_t(n), f, error)) Fail(error);
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

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t m = v.size();
    return m % 2 ? v[m / 2] : 0.5 * (v[m / 2 - 1] + v[m / 2]);
}

template <class F> double TimeMicros(F&& call, std::vector<double>* cpuMicros = nullptr) {
    const std::clock_t cpu = std::clock();
    const auto start = std::chrono::steady_clock::now();
    call();
    const auto stop = std::chrono::steady_clock::now();
    // The process's processor time: what the call cost whatever else ran on the machine (with
    // several threads, their sum).
    if (cpuMicros) cpuMicros->push_back(double(std::clock() - cpu) * 1e6 / CLOCKS_PER_SEC);
    return std::chrono::duration<double, std::micro>(stop - start).count();
}

// The demo's core: separate segments, one threshold.
void TimeCore(const Options& o) {
    const std::vector<float> f = ReadField(o.field, o.size);
    const std::vector<Vector2> g = bench::DemoGradient(f, o.size);
    const field::GridSize size{o.size, o.size};
    const float threshold = Level<float>(o.levels[0]);
    std::vector<Vector2> points, normals;
    field::WalkWorkspace work;
    std::vector<double> micros;
    int count = 0;
    for (int r = 0; r < o.repeat; ++r)
        micros.push_back(TimeMicros([&] {
            count = field::ExtractContourLines(f, g, size, threshold, field::kCaseSegments,
                                               points, normals, work);
        }));
    if (!o.points.empty()) WritePoints(o.points, points);
    std::printf("median_us %.3f end_points %d\n", Median(micros), count);
}

// The library's joined lines, each call returning a fresh result as a caller would get it.
template <class T> void TimeLines(const Options& o, isocontour::View<T> z, std::size_t inputBytes) {
    const std::vector<T> levels = Levels<T>(o);
    isocontour::Options<T> options;
    options.threads = o.threads;
    const auto run = [&] { return isocontour::ContourLines(z, std::span<const T>(levels), options); };
    // One untimed call for the memory: the peak from a baseline, less what the result holds.
    const long long before = liveBytes;
    peakBytes = before;
    isocontour::Lines<T> lines = run();
    const long long extra = peakBytes - liveBytes, output = liveBytes - before;
    std::vector<double> micros, cpu;
    micros.reserve(std::size_t(o.repeat));
    cpu.reserve(std::size_t(o.repeat));
    isocontour::Workspace work;
    for (int r = 0; r < o.repeat; ++r) {
        if (o.reuse)
            micros.push_back(TimeMicros(
                [&] { isocontour::ContourLines(z, std::span<const T>(levels), options, lines, work); },
                &cpu));
        else
            micros.push_back(TimeMicros([&] { lines = run(); }, &cpu));
    }
    std::printf("median_us %.3f lines %zu points %zu peak_extra_bytes %lld output_bytes %lld "
                "input_bytes %zu cpu_us %.3f\n",
                Median(micros), lines.LineCount(), lines.points.size(), extra, output, inputBytes,
                Median(cpu));
}

// The library's filled bands between the levels, in one call, a fresh result each time.
template <class T> void TimeFilled(const Options& o, isocontour::View<T> z, std::size_t inputBytes) {
    const std::vector<T> levels = Levels<T>(o);
    isocontour::Options<T> options;
    options.threads = o.threads;
    const auto run = [&] {
        return isocontour::FilledContours(z, std::span<const T>(levels), options);
    };
    const long long before = liveBytes;
    peakBytes = before;
    isocontour::Bands<T> bands = run();
    const long long extra = peakBytes - liveBytes;
    std::vector<double> micros, cpu;
    micros.reserve(std::size_t(o.repeat));
    for (int r = 0; r < o.repeat; ++r)
        micros.push_back(TimeMicros([&] { bands = run(); }, &cpu));
    std::printf("median_us %.3f polygons %zu rings %zu points %zu peak_extra_bytes %lld "
                "input_bytes %zu cpu_us %.3f\n",
                Median(micros), bands.PolygonCount(), bands.ringOffsets.size() - 1,
                bands.points.size(), extra, inputBytes, Median(cpu));
}

template <class T> void Time(const Options& o, isocontour::View<T> z, std::size_t inputBytes) {
    if (o.filled)
        TimeFilled(o, z, inputBytes);
    else
        TimeLines(o, z, inputBytes);
}

} // namespace

int main(int argc, char** argv) {
    const Options o = Parse(argc, argv);
    if (!o.lines && !o.filled) {
        TimeCore(o);
        return 0;
    }
    try {
        if (o.npy.empty()) {
            const std::vector<float> f = ReadField(o.field, o.size);
            Time<float>(o, {f.data(), o.size, o.size, o.size, 1, f.size()}, f.size() * 4);
            return 0;
        }
        NpyArray a;
        std::string error;
        if (!ReadNpy(o.npy, a, error)) Fail(error);
        if (a.dims != 2 || a.type == NpyArray::Type::Bool)
            Fail(o.npy + ": a " + a.Describe() + "; the values are a 2-D float32 or float64 array");
        const std::ptrdiff_t cs = a.ColumnStride(), rs = a.RowStride();
        if (a.type == NpyArray::Type::Float32)
            Time<float>(o, {a.f32.data(), a.cols, a.rows, cs, rs, a.f32.size()}, a.f32.size() * 4);
        else
            Time<double>(o, {a.f64.data(), a.cols, a.rows, cs, rs, a.f64.size()}, a.f64.size() * 8);
    } catch (const isocontour::Error& e) {
        Fail(e.what());
    }
    return 0;
}
