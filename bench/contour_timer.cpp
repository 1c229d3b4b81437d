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
//   every band in one call), a fresh result each call (or with --reuse, one kept result and
//   Workspace); prints the polygons, rings and points.
//   With --stream: one plain read of the same array (a sum over every value in the array's own
//   memory order), the bound the library's calls are measured against; prints the same
//   median_us and cpu_us.
//   --spread K (with --npy, C order) lays the array's columns K elements apart, so that the
//   library and the read see a strided slice of a K times wider array.
//   The library's figures also give rss_extra_bytes: the process's peak resident memory during
//   one fresh call (the peak reset before it), less the resident memory before it and the bytes
//   of its output.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "bench/picture.h"
#include "bench/stream_sum.h"
#include "cli/npy_file.h"
#include "field/case_table.h"
#include "field/crossings.h"
#include "isocontour/isocontour.h"

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
    "A,B,...) --repeat R [--lines | --filled] [--reuse] [--threads N] [--spread K] [--points FILE] "
    "| "
    "--npy FILE --repeat R --stream [--spread K]";

struct Options {
    std::string field, npy, points;
    int size = 0;
    std::vector<std::string> levels; // as given, read in the field's type; --threshold is one
    int repeat = 0;
    bool lines = false;
    bool filled = false; // the library's bands (implies the library, like --lines)
    bool reuse = false;  // time calls that reuse one output and one Workspace
    bool stream = false; // time one plain read of the array instead
    int spread = 1;      // columns this many elements apart
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
        if (opt == "--lines" || opt == "--filled" || opt == "--reuse" || opt == "--stream") {
            (opt == "--lines"    ? o.lines
             : opt == "--filled" ? o.filled
             : opt == "--reuse"  ? o.reuse
                                 : o.stream) = true;
            continue;
        }
        if (opt != "--field" && opt != "--size" && opt != "--threshold" && opt != "--repeat" &&
            opt != "--points" && opt != "--levels" && opt != "--threads" && opt != "--npy" &&
            opt != "--spread")
            Fail("unknown argument '" + opt + "' (" + kUsage + ")");
        if (i + 1 >= argc) Fail(opt + " needs a value");
        const std::string val = argv[++i];
        if (opt == "--field") o.field = val;
        if (opt == "--npy") o.npy = val;
        if (opt == "--points") o.points = val;
        if (opt == "--size") o.size = int(ParseCount(opt, val, 2, 46340));
        if (opt == "--repeat") o.repeat = int(ParseCount(opt, val, 1, 1000000));
        if (opt == "--spread") o.spread = int(ParseCount(opt, val, 1, 64));
        if (opt == "--threads")
            o.threads = int(ParseCount(opt, val, 0, 1024)), o.haveThreads = true;
        if (opt == "--threshold" || opt == "--levels") {
            o.levels = ParseLevels(opt, val);
            if (opt == "--threshold" && o.levels.size() != 1)
                Fail("--threshold needs one finite number, got '" + val + "'");
        }
    }
    const bool raw = !o.field.empty() && o.size != 0;
    if (o.stream) {
        if (o.npy.empty() || o.repeat == 0 || o.lines || o.filled || !o.levels.empty())
            Fail(std::string("--stream reads a --npy array --repeat times, alone (") + kUsage +
                 ")");
        return o;
    }
    if (o.spread != 1 && o.npy.empty()) Fail("--spread goes with --npy");
    if ((raw == !o.npy.empty()) || o.levels.empty() || o.repeat == 0)
        Fail(std::string("a field (--field and --size, or --npy), --threshold or --levels, and "
                         "--repeat are required (") +
             kUsage + ")");
    if (o.lines && o.filled) Fail("--lines and --filled are two different timings: one at a time");
    if (o.filled && o.levels.size() < 2) Fail("--filled needs --levels with two levels or more");
    if (o.reuse && !o.lines && !o.filled) Fail("--reuse goes with --lines or --filled");
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
            count = field::ExtractContourLines(f, g, size, threshold, field::kCaseSegments, points,
                                               normals, work);
        }));
    if (!o.points.empty()) WritePoints(o.points, points);
    std::printf("median_us %.3f end_points %d\n", Median(micros), count);
}

// Resident memory from /proc/self/status (VmRSS now, VmHWM the peak), in bytes; 0 if unknown.
long long ResidentBytes(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string name;
    long long kb = 0;
    while (status >> name) {
        if (name == key) {
            status >> kb;
            return kb * 1024;
        }
        status.ignore(1 << 20, '\n');
    }
    return 0;
}

// Sets the peak resident memory to the present one (Linux 4.0 on); false where it cannot.
bool ResetResidentPeak() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return bool(clear);
}

// What the first, untimed call of a library timing used: the counted allocator's peak beyond
// its output, the output's bytes, and the peak resident memory beyond what was resident before
// and the output.
struct CallMemory {
    long long extra = 0, output = 0, residentExtra = -1;
};
template <class Call> CallMemory Measure(Call&& call) {
    CallMemory m;
    const long long before = liveBytes;
    peakBytes = before;
    const bool peak = ResetResidentPeak();
    const long long resident = ResidentBytes("VmRSS:");
    call();
    const long long high = ResidentBytes("VmHWM:");
    m.extra = peakBytes - liveBytes;
    m.output = liveBytes - before;
    if (peak && resident > 0 && high > 0) m.residentExtra = high - resident - m.output;
    return m;
}

// Times calls: fresh() returns a new result as a caller gets it, reuse() writes into one kept
// result with one kept Workspace (--reuse). Returns the medians of wall-clock and processor time.
template <class Fresh, class Reuse>
std::pair<double, double> TimeCalls(const Options& o, Fresh&& fresh, Reuse&& reuse) {
    std::vector<double> micros, cpu;
    micros.reserve(std::size_t(o.repeat));
    cpu.reserve(std::size_t(o.repeat));
    for (int r = 0; r < o.repeat; ++r)
        micros.push_back(o.reuse ? TimeMicros(reuse, &cpu) : TimeMicros(fresh, &cpu));
    return {Median(micros), Median(cpu)};
}

void PrintMemory(const CallMemory& m, std::size_t inputBytes) {
    std::printf(" peak_extra_bytes %lld output_bytes %lld rss_extra_bytes %lld input_bytes %zu",
                m.extra, m.output, m.residentExtra, inputBytes);
}

// The library's joined lines at every level in one call.
template <class T> void TimeLines(const Options& o, isocontour::View<T> z, std::size_t inputBytes) {
    const std::vector<T> levels = Levels<T>(o);
    isocontour::Options<T> options;
    options.threads = o.threads;
    const std::span<const T> all(levels);
    isocontour::Lines<T> lines;
    const CallMemory memory = Measure([&] { lines = isocontour::ContourLines(z, all, options); });
    isocontour::Workspace work;
    const auto [wall, cpu] = TimeCalls(
        o, [&] { lines = isocontour::ContourLines(z, all, options); },
        [&] { isocontour::ContourLines(z, all, options, lines, work); });
    std::printf("median_us %.3f cpu_us %.3f lines %zu points %zu", wall, cpu, lines.LineCount(),
                lines.points.size());
    PrintMemory(memory, inputBytes);
    std::printf("\n");
}

// The library's filled bands between the levels, in one call.
template <class T>
void TimeFilled(const Options& o, isocontour::View<T> z, std::size_t inputBytes) {
    const std::vector<T> levels = Levels<T>(o);
    isocontour::Options<T> options;
    options.threads = o.threads;
    const std::span<const T> all(levels);
    isocontour::Bands<T> bands;
    const CallMemory memory = Measure([&] { bands = isocontour::FilledContours(z, all, options); });
    isocontour::Workspace work;
    const auto [wall, cpu] = TimeCalls(
        o, [&] { bands = isocontour::FilledContours(z, all, options); },
        [&] { isocontour::FilledContours(z, all, options, bands, work); });
    std::printf("median_us %.3f cpu_us %.3f polygons %zu rings %zu points %zu", wall, cpu,
                bands.PolygonCount(), bands.ringOffsets.size() - 1, bands.points.size());
    PrintMemory(memory, inputBytes);
    std::printf("\n");
}

// One plain read of the array, as the library's calls are timed.
template <class T> void TimeStream(const Options& o, isocontour::View<T> z) {
    volatile T sink = 0;
    const auto read = [&] { sink = bench::StreamSum(z.data, z.nx, z.ny, z.strideX, z.strideY); };
    const auto [wall, cpu] = TimeCalls(o, read, read);
    std::printf("median_us %.3f cpu_us %.3f sum %.17g\n", wall, cpu, double(sink));
}

template <class T> void Time(const Options& o, isocontour::View<T> z, std::size_t inputBytes) {
    if (o.stream)
        TimeStream(o, z);
    else if (o.filled)
        TimeFilled(o, z, inputBytes);
    else
        TimeLines(o, z, inputBytes);
}

// The array as the timings see it: as read, or with its columns spread apart (--spread).
template <class T>
void TimeArray(const Options& o, const NpyArray& a, const std::vector<T>& values) {
    const std::ptrdiff_t cs = a.ColumnStride(), rs = a.RowStride();
    if (o.spread == 1) {
        Time<T>(o, {values.data(), a.cols, a.rows, cs, rs, values.size()},
                values.size() * sizeof(T));
        return;
    }
    if (a.fortranOrder) Fail("--spread needs an array in C order");
    const std::ptrdiff_t k = o.spread;
    std::vector<T> wide(values.size() * std::size_t(k));
    for (std::ptrdiff_t r = 0; r < a.rows; ++r)
        for (std::ptrdiff_t c = 0; c < a.cols; ++c)
            wide[std::size_t((r * a.cols + c) * k)] = values[std::size_t(r * a.cols + c)];
    Time<T>(o, {wide.data(), a.cols, a.rows, k, a.cols * k, wide.size()},
            values.size() * sizeof(T));
}

} // namespace

int main(int argc, char** argv) {
    const Options o = Parse(argc, argv);
    if (!o.lines && !o.filled && !o.stream) {
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
        if (a.type == NpyArray::Type::Float32)
            TimeArray<float>(o, a, a.f32);
        else
            TimeArray<double>(o, a, a.f64);
    } catch (const isocontour::Error& e) {
        Fail(e.what());
    }
    return 0;
}
