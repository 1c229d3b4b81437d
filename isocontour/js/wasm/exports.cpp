// The WebAssembly module's exports: buffers the JavaScript side fills, the flat calls, d3's
// polygons and the statistics d3 makes its thresholds from. Each call leaves its arrays in a
// table of addresses and counts (Result) for the caller to copy out, and returns 0, or -1 with
// the library's message in Message().
#include <cmath>
#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#include "d3_rings.h"
#include "flat.h"

#define EXPORT(name) extern "C" __attribute__((export_name(#name)))

namespace {

using isocontour::js::Coords;

// Addresses and counts of the last call's arrays, read by the JavaScript side.
std::uint32_t result[16];
std::string message;
// Buffers the caller writes its inputs into, kept between calls: values, x, y, mask, levels.
std::vector<double> buffers[5];

isocontour::js::FlatResult<float> flat32;
isocontour::js::FlatResult<double> flat64;
isocontour::js::D3Scratch d3Scratch;
isocontour::js::D3Polygons d3Out;

template <class V> std::uint32_t Address(const V& v) {
    return std::uint32_t(reinterpret_cast<std::uintptr_t>(v.data()));
}

template <class F> int Guard(F&& call) {
    try {
        call();
        return 0;
    } catch (const std::bad_alloc&) {
        message = "out of memory";
    } catch (const std::exception& e) {
        message = e.what();
    }
    return -1;
}

template <class T>
isocontour::js::FlatOptions<T> OptionsOf(int coords, double x0, double y0, double sx, double sy,
                                         int mask, int saddle, int atLevel, int interpolation,
                                         int flags) {
    isocontour::js::FlatOptions<T> o;
    o.coords = Coords(coords);
    if (o.coords == Coords::Rectilinear || o.coords == Coords::Curvilinear) {
        o.x = reinterpret_cast<const T*>(buffers[1].data());
        o.y = reinterpret_cast<const T*>(buffers[2].data());
    }
    o.x0 = x0, o.y0 = y0, o.stepX = sx, o.stepY = sy;
    if (mask) o.mask = reinterpret_cast<const std::uint8_t*>(buffers[3].data());
    o.saddle = saddle, o.atLevel = atLevel, o.interpolation = interpolation;
    o.cornerMask = flags & 1, o.normals = flags & 2, o.openBands = flags & 4;
    return o;
}

template <class T> void LinesResult(const isocontour::js::FlatResult<T>& r) {
    result[0] = Address(r.lines.points), result[1] = std::uint32_t(r.lines.points.size());
    result[2] = Address(r.lines.normals), result[3] = std::uint32_t(r.lines.normals.size());
    result[4] = Address(r.offsets), result[5] = std::uint32_t(r.offsets.size());
    result[6] = Address(r.lines.closed), result[7] = std::uint32_t(r.lines.closed.size());
    result[8] = Address(r.levelOffsets), result[9] = std::uint32_t(r.levelOffsets.size());
}

template <class T> void BandsResult(const isocontour::js::FlatResult<T>& r) {
    result[0] = Address(r.bands.points), result[1] = std::uint32_t(r.bands.points.size());
    result[2] = Address(r.ringOffsets), result[3] = std::uint32_t(r.ringOffsets.size());
    result[4] = Address(r.polygonOffsets), result[5] = std::uint32_t(r.polygonOffsets.size());
    result[6] = Address(r.bandOffsets), result[7] = std::uint32_t(r.bandOffsets.size());
    result[8] = Address(r.bands.lower), result[9] = Address(r.bands.upper);
    result[10] = std::uint32_t(r.bands.lower.size());
}

} // namespace

/// The table of the last call's arrays (16 unsigned 32-bit words) and the last error's text.
EXPORT(ic_result) const std::uint32_t* Result() { return result; }
EXPORT(ic_message) const char* Message() { return message.c_str(); }

/// Buffer slot (0 values, 1 x, 2 y, 3 mask, 4 levels) grown to hold bytes; 8-byte aligned, kept
/// until the next call asks for more. Returns 0 when memory runs out.
EXPORT(ic_buffer) void* Buffer(int slot, std::uint32_t bytes) {
    try {
        std::vector<double>& b = buffers[slot];
        if (b.size() * sizeof(double) < bytes) b.resize((std::size_t(bytes) + 7) / 8);
        return b.data();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

/// Lines of the values in slot 0 (float32 when f32, else float64) at the levels in slot 4.
/// flags: 1 corner mask, 2 normals.
EXPORT(ic_lines)
int Lines(int f32, int width, int height, int levels, int coords, double x0, double y0, double sx,
          double sy, int mask, int saddle, int atLevel, int interpolation, int flags) {
    const double* lv = buffers[4].data();
    return Guard([&] {
        if (f32) {
            const auto o = OptionsOf<float>(coords, x0, y0, sx, sy, mask, saddle, atLevel,
                                            interpolation, flags);
            isocontour::js::FlatLines(reinterpret_cast<const float*>(buffers[0].data()), width,
                                      height, lv, std::size_t(levels), o, flat32);
            LinesResult(flat32);
        } else {
            const auto o = OptionsOf<double>(coords, x0, y0, sx, sy, mask, saddle, atLevel,
                                             interpolation, flags);
            isocontour::js::FlatLines(buffers[0].data(), width, height, lv, std::size_t(levels), o,
                                      flat64);
            LinesResult(flat64);
        }
    });
}

/// Filled bands of the values in slot 0 between the rising levels in slot 4. flags: 1 corner
/// mask, 4 open bands.
EXPORT(ic_bands)
int Bands(int f32, int width, int height, int levels, int coords, double x0, double y0, double sx,
          double sy, int mask, int saddle, int atLevel, int interpolation, int flags) {
    const double* lv = buffers[4].data();
    return Guard([&] {
        if (f32) {
            const auto o = OptionsOf<float>(coords, x0, y0, sx, sy, mask, saddle, atLevel,
                                            interpolation, flags);
            isocontour::js::FlatBands(reinterpret_cast<const float*>(buffers[0].data()), width,
                                      height, lv, std::size_t(levels), o, flat32);
            BandsResult(flat32);
        } else {
            const auto o = OptionsOf<double>(coords, x0, y0, sx, sy, mask, saddle, atLevel,
                                             interpolation, flags);
            isocontour::js::FlatBands(buffers[0].data(), width, height, lv, std::size_t(levels), o,
                                      flat64);
            BandsResult(flat64);
        }
    });
}

/// d3's polygons of the dx * dy values in slot 0 at each threshold in slot 4, in that order.
EXPORT(ic_d3)
int D3(int f32, int dx, int dy, int thresholds, int smooth) {
    return Guard([&] {
        d3Out.Clear();
        for (int t = 0; t < thresholds; ++t) {
            const double level = buffers[4][std::size_t(t)];
            if (f32)
                isocontour::js::D3Contour(reinterpret_cast<const float*>(buffers[0].data()), dx, dy,
                                          level, smooth != 0, d3Scratch, d3Out);
            else
                isocontour::js::D3Contour(buffers[0].data(), dx, dy, level, smooth != 0, d3Scratch,
                                          d3Out);
        }
        result[0] = Address(d3Out.points), result[1] = std::uint32_t(d3Out.points.size() / 2);
        result[2] = Address(d3Out.ringOffsets), result[3] = std::uint32_t(d3Out.ringOffsets.size());
        result[4] = Address(d3Out.polygonOffsets);
        result[5] = std::uint32_t(d3Out.polygonOffsets.size());
        result[6] = Address(d3Out.thresholdOffsets);
        result[7] = std::uint32_t(d3Out.thresholdOffsets.size());
    });
}

/// What d3 makes its default thresholds from, over the first n values in slot 0: how many are
/// numbers (not NaN), and the least and greatest finite one (NaN when there is none), as three
/// float64 at the address returned.
EXPORT(ic_d3_stats) const double* D3Stats(int f32, std::uint32_t n) {
    static double stats[3];
    std::uint32_t count = 0;
    double lo = INFINITY, hi = -INFINITY;
    const auto scan = [&](const auto* v) {
        for (std::uint32_t k = 0; k < n; ++k) {
            const double x = double(v[k]);
            count += x == x;
            if (std::isfinite(x)) lo = x < lo ? x : lo, hi = x > hi ? x : hi;
        }
    };
    if (f32)
        scan(reinterpret_cast<const float*>(buffers[0].data()));
    else
        scan(buffers[0].data());
    stats[0] = count;
    stats[1] = lo <= hi ? lo : NAN;
    stats[2] = lo <= hi ? hi : NAN;
    return stats;
}
