// The library's output pinned bit for bit: lines and bands of a set of fields (layouts, value
// types, NaN, infinities, masks, coordinates, saddle rules, threads) hashed and compared with the
// hashes the output had when they were recorded. A change meant to be faster, not different,
// must keep them; a change that means to move a point records new ones and says why.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "isocontour/isocontour.h"

namespace {

using isocontour::Options;
using isocontour::Saddle;
using isocontour::View;

// FNV-1a over the bytes of whole arrays.
struct Hash {
    std::uint64_t h = 14695981039346656037ull;
    template <class V> void Add(const V& v) {
        const auto* p = reinterpret_cast<const unsigned char*>(v.data());
        for (std::size_t k = 0; k < v.size() * sizeof(v[0]); ++k)
            h = (h ^ p[k]) * 1099511628211ull;
    }
};

template <class T> std::uint64_t Of(const isocontour::Lines<T>& l) {
    Hash h;
    h.Add(l.points), h.Add(l.normals), h.Add(l.offsets), h.Add(l.closed), h.Add(l.levelOffsets);
    return h.h;
}
template <class T> std::uint64_t Of(const isocontour::Bands<T>& b) {
    Hash h;
    h.Add(b.points), h.Add(b.ringOffsets), h.Add(b.polygonOffsets), h.Add(b.bandOffsets);
    return h.h;
}

// Values in C order (z[j][i]): uniform noise from mt19937's raw output (the same on every
// platform), box-blurred `passes` times, then rounded to multiples of `step` when step > 0.
std::vector<double> Noise(std::ptrdiff_t nx, std::ptrdiff_t ny, unsigned seed, int passes,
                          double step) {
    std::mt19937 rng(seed);
    std::vector<double> z(std::size_t(nx * ny));
    for (double& v : z)
        v = double(rng()) / 4294967296.0 - 0.5;
    for (int p = 0; p < passes; ++p) {
        std::vector<double> b = z;
        for (std::ptrdiff_t j = 0; j < ny; ++j)
            for (std::ptrdiff_t i = 0; i < nx; ++i) {
                double s = 0;
                int n = 0;
                for (std::ptrdiff_t dj = -1; dj <= 1; ++dj)
                    for (std::ptrdiff_t di = -1; di <= 1; ++di)
                        if (i + di >= 0 && i + di < nx && j + dj >= 0 && j + dj < ny)
                            s += z[std::size_t((j + dj) * nx + i + di)], ++n;
                b[std::size_t(j * nx + i)] = s / n;
            }
        z = b;
    }
    if (step > 0)
        for (double& v : z)
            v = double(std::int64_t(v / step)) * step;
    return z;
}

std::vector<double> Levels(int n, double lo, double hi) {
    std::vector<double> l;
    for (int k = 0; k < n; ++k)
        l.push_back(lo + (hi - lo) * k / (n - 1));
    return l;
}

// One field's lines and bands, in T, through the view and options a case gives.
struct Case {
    std::string name;
    std::uint64_t lines, bands;
};

template <class T>
Case Run(const std::string& name, View<T> view, Options<T> o, const std::vector<double>& levels) {
    std::vector<T> l(levels.begin(), levels.end());
    Options<T> withNormals = o;
    withNormals.normals = true;
    const auto lines = isocontour::ContourLines(view, std::span<const T>(l), withNormals);
    const auto bands = isocontour::FilledContours(view, std::span<const T>(l), o);
    return {name, Of(lines), Of(bands)};
}

std::vector<Case> Cases() {
    std::vector<Case> cases;
    const std::ptrdiff_t nx = 97, ny = 83;
    const std::vector<double> smooth = Noise(nx, ny, 7, 3, 0);
    const std::vector<double> ten = Levels(10, -0.12, 0.12);
    {
        Options<double> o;
        o.openBands = true;
        cases.push_back(Run("smooth, double, C order, open bands",
                            isocontour::RowMajor(smooth.data(), ny, nx), o, ten));
        std::vector<double> f(smooth.size());
        for (std::ptrdiff_t j = 0; j < ny; ++j)
            for (std::ptrdiff_t i = 0; i < nx; ++i)
                f[std::size_t(i * ny + j)] = smooth[std::size_t(j * nx + i)];
        o.threads = 3;
        cases.push_back(Run("smooth, double, Fortran order, 3 threads",
                            isocontour::ColumnMajor(f.data(), ny, nx), o, ten));
    }
    {
        const std::vector<float> f(smooth.begin(), smooth.end());
        cases.push_back(Run("smooth, float, C order", isocontour::RowMajor(f.data(), ny, nx),
                            Options<float>{}, ten));
    }
    {
        // Plateaus exactly at the levels, NaN holes, a mask, rectilinear coordinates, centre rule.
        std::vector<double> z = Noise(nx, ny, 11, 2, 1.0 / 32);
        for (std::size_t k = 0; k < z.size(); k += 37)
            z[k] = std::numeric_limits<double>::quiet_NaN();
        std::vector<std::uint8_t> mask(z.size(), 0);
        for (std::ptrdiff_t j = 40; j < 52; ++j)
            for (std::ptrdiff_t i = 30; i < 45; ++i)
                mask[std::size_t(j * nx + i)] = 1;
        std::vector<double> x(static_cast<std::size_t>(nx)), y(static_cast<std::size_t>(ny));
        for (std::ptrdiff_t i = 0; i < nx; ++i)
            x[std::size_t(i)] = 100.0 + 0.5 * double(i) + 0.001 * double(i * i);
        for (std::ptrdiff_t j = 0; j < ny; ++j)
            y[std::size_t(j)] = -3.0 - 0.25 * double(j);
        Options<double> o;
        o.mask = isocontour::RowMajor(mask.data(), ny, nx);
        o.x = {x.data(), nx, 1, 1, 1, x.size()};
        o.y = {y.data(), ny, 1, 1, 1, y.size()};
        o.saddle = Saddle::Centre;
        cases.push_back(Run("plateaus, NaN, mask, rectilinear, centre",
                            isocontour::RowMajor(z.data(), ny, nx), o,
                            Levels(7, -3.0 / 32, 3.0 / 32)));
        // The same with a speckled mask, its cells missing one corner as triangles, a value at
        // a level counted above it, 3 threads.
        for (std::size_t k = 5; k < mask.size(); k += 41)
            mask[k] = 1;
        o.cornerMask = true;
        o.atLevel = isocontour::AtLevel::Above;
        o.threads = 3;
        cases.push_back(Run("plateaus, NaN, speckled mask, corner mask, above side, 3 threads",
                            isocontour::RowMajor(z.data(), ny, nx), o,
                            Levels(7, -3.0 / 32, 3.0 / 32)));
    }
    {
        // White noise with infinities, curvilinear coordinates, the below rule, 2 threads.
        const std::ptrdiff_t mx = 70, my = 64;
        std::vector<double> z = Noise(mx, my, 5, 0, 0);
        for (std::size_t k = 3; k < z.size(); k += 53)
            z[k] = (k % 2 ? 1 : -1) * std::numeric_limits<double>::infinity();
        std::vector<double> x(z.size()), y(z.size());
        for (std::ptrdiff_t j = 0; j < my; ++j)
            for (std::ptrdiff_t i = 0; i < mx; ++i) {
                x[std::size_t(j * mx + i)] = double(i) + 0.3 * double(j);
                y[std::size_t(j * mx + i)] = double(j) - 0.1 * double(i);
            }
        Options<double> o;
        o.x = isocontour::RowMajor(x.data(), my, mx);
        o.y = isocontour::RowMajor(y.data(), my, mx);
        o.saddle = Saddle::Below;
        o.threads = 2;
        cases.push_back(Run("white noise, infinities, curvilinear, below, 2 threads",
                            isocontour::RowMajor(z.data(), my, mx), o, Levels(5, -0.3, 0.3)));
    }
    return cases;
}

TEST(PinnedOutput, LinesAndBandsKeepEveryBit) {
    // Recorded with the library as of version 0.2.0; the fourth case's bands again when a piece
    // that runs straight back along one that arrived at a vertex was first paired with it (two
    // polygons of a band had shared a stretch of boundary beside masked nodes at the levels).
    const std::uint64_t expected[][2] = {
        {0xc093c5872ac46275ull, 0x2b3ab9423e47f478ull},
        {0xc093c5872ac46275ull, 0x2b3ab9423e47f478ull}, // the same values: the same output
        {0x11a96f894bd2b631ull, 0x8290db39d7f532cdull},
        {0xde7b297b9fa26adbull, 0xdc4bbab77c40f36eull},
        {0x0064eb1529d2e9a3ull, 0x1a74dbf495cc780full}, // corner mask, above side: new in 0.3.0
        {0xc28a21056738e514ull, 0x9b7e4375e9e64b02ull},
    };
    const std::vector<Case> cases = Cases();
    ASSERT_EQ(cases.size(), std::size(expected));
    for (std::size_t k = 0; k < cases.size(); ++k) {
        SCOPED_TRACE(cases[k].name);
        char got[64];
        std::snprintf(got, sizeof got, "{0x%016llxull, 0x%016llxull}",
                      (unsigned long long)cases[k].lines, (unsigned long long)cases[k].bands);
        EXPECT_EQ(cases[k].lines, expected[k][0]) << "now " << got;
        EXPECT_EQ(cases[k].bands, expected[k][1]) << "now " << got;
    }
}

} // namespace
