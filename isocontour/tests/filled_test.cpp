// Filled bands of the contouring library: the ring rules, tiling, threads, holes and refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <map>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "isocontour/isocontour.h"
#include "ray_probe.h"
#include "twofold.h"

namespace {

using isocontour::Bands;
using isocontour::Options;
using isocontour::Point;
using isocontour::View;

// A field stored x-major (node (i, j) at i * ny + j) with its view.
struct Field {
    std::ptrdiff_t nx, ny;
    std::vector<double> v;
    View<double> view() const { return {v.data(), nx, ny, ny, 1}; }
    double& at(std::ptrdiff_t i, std::ptrdiff_t j) { return v[std::size_t(i * ny + j)]; }
};

// The same bands, bit for bit.
void ExpectSameBands(const Bands<double>& a, const Bands<double>& b) {
    EXPECT_EQ(a.points, b.points);
    EXPECT_EQ(a.ringOffsets, b.ringOffsets);
    EXPECT_EQ(a.polygonOffsets, b.polygonOffsets);
    EXPECT_EQ(a.bandOffsets, b.bandOffsets);
}

// Standard normal noise box-blurred a few times: many small closed loops and saddles.
Field Smoothed(std::ptrdiff_t nx, std::ptrdiff_t ny, unsigned seed, int passes = 3) {
    Field f{nx, ny, std::vector<double>(std::size_t(nx * ny))};
    std::mt19937 rng(seed);
    std::normal_distribution<double> normal;
    for (auto& x : f.v)
        x = normal(rng);
    for (int p = 0; p < passes; ++p) {
        Field g = f;
        for (std::ptrdiff_t i = 0; i < nx; ++i)
            for (std::ptrdiff_t j = 0; j < ny; ++j) {
                double s = 0;
                int n = 0;
                for (int di = -1; di <= 1; ++di)
                    for (int dj = -1; dj <= 1; ++dj) {
                        const auto a = i + di, b = j + dj;
                        if (a < 0 || b < 0 || a >= nx || b >= ny) continue;
                        s += f.v[std::size_t(a * ny + b)];
                        ++n;
                    }
                g.at(i, j) = s / n;
            }
        f = g;
    }
    return f;
}

// Values rounded to quarters: whole plateaus sit exactly on the levels 0, 0.25, ...
Field Plateaus(std::ptrdiff_t nx, std::ptrdiff_t ny, unsigned seed) {
    Field f = Smoothed(nx, ny, seed, 2);
    for (auto& x : f.v)
        x = std::round(x * 8) / 4;
    return f;
}

double Cross(Point<double> a, Point<double> b, Point<double> c) {
    return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
}

// From the differences to the first point, in long double: the sign of a ring a few units in
// the last place across survives.
double SignedArea(const std::vector<Point<double>>& r) {
    long double s = 0;
    for (std::size_t k = 1; k + 1 < r.size(); ++k)
        s += (long double)(r[k].x - r[0].x) * (r[k + 1].y - r[0].y) -
             (long double)(r[k + 1].x - r[0].x) * (r[k].y - r[0].y);
    return double(s / 2);
}

// Proper or touching intersection of segments ab and cd.
bool Meet(Point<double> a, Point<double> b, Point<double> c, Point<double> d) {
    const double d1 = Cross(c, d, a), d2 = Cross(c, d, b), d3 = Cross(a, b, c), d4 = Cross(a, b, d);
    if (((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) && ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0)))
        return true;
    const auto on = [](Point<double> p, Point<double> q, Point<double> r) {
        return Cross(p, q, r) == 0 && std::min(p.x, q.x) <= r.x && r.x <= std::max(p.x, q.x) &&
               std::min(p.y, q.y) <= r.y && r.y <= std::max(p.y, q.y);
    };
    return on(c, d, a) || on(c, d, b) || on(a, b, c) || on(a, b, d);
}

bool Inside(Point<double> p, const std::vector<Point<double>>& r) {
    bool in = false;
    for (std::size_t k = 0; k + 1 < r.size(); ++k) {
        const auto a = r[k], b = r[k + 1];
        if ((a.y > p.y) != (b.y > p.y) && p.x < a.x + (p.y - a.y) * (b.x - a.x) / (b.y - a.y))
            in = !in;
    }
    return in;
}

// Every rule of the Bands convention, checked on each ring; returns the total area.
double CheckRings(const Bands<double>& bands) {
    EXPECT_EQ(bands.bandOffsets.back(), std::int64_t(bands.PolygonCount()));
    EXPECT_EQ(bands.polygonOffsets.back(), std::int64_t(bands.ringOffsets.size() - 1));
    EXPECT_EQ(bands.ringOffsets.back(), std::int64_t(bands.points.size()));
    double total = 0;
    for (const auto& polygon : isocontour::SplitPolygons(bands)) {
        EXPECT_FALSE(polygon.empty());
        for (std::size_t r = 0; r < polygon.size(); ++r) {
            const auto& ring = polygon[r];
            EXPECT_GE(ring.size(), 4u);
            EXPECT_EQ(ring.front(), ring.back());
            for (std::size_t k = 0; k + 1 < ring.size(); ++k) {
                EXPECT_FALSE(ring[k] == ring[k + 1]) << "repeated point";
                EXPECT_TRUE(std::isfinite(ring[k].x) && std::isfinite(ring[k].y));
            }
            const double a = SignedArea(ring);
            if (r == 0)
                EXPECT_GT(a, 0) << "outer ring not counter-clockwise";
            else
                EXPECT_LT(a, 0) << "hole not clockwise";
            total += a;
            // Simple: no two pieces meet unless they follow each other.
            const std::size_t n = ring.size() - 1;
            for (std::size_t p = 0; p < n; ++p)
                for (std::size_t q = p + 2; q < n; ++q) {
                    if (p == 0 && q == n - 1) continue;
                    EXPECT_FALSE(Meet(ring[p], ring[p + 1], ring[q], ring[q + 1]))
                        << "ring touches itself near (" << ring[p].x << ", " << ring[p].y << ")";
                }
            // Another ring of the polygon meets this one at points at most: no piece crosses or
            // runs along one of its pieces.
            for (std::size_t o = 0; o < r; ++o) {
                const auto& other = polygon[o];
                for (std::size_t p = 0; p < n; ++p)
                    for (std::size_t q = 0; q + 1 < other.size(); ++q) {
                        const auto a = ring[p], b = ring[p + 1], c = other[q], d = other[q + 1];
                        const double d1 = Cross(c, d, a), d2 = Cross(c, d, b);
                        const double d3 = Cross(a, b, c), d4 = Cross(a, b, d);
                        const bool crosses = ((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) &&
                                             ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0));
                        // Collinear pieces whose extents overlap by more than a point.
                        const bool along = d1 == 0 && d2 == 0 &&
                                           (std::max(std::min(a.x, b.x), std::min(c.x, d.x)) <
                                                std::min(std::max(a.x, b.x), std::max(c.x, d.x)) ||
                                            std::max(std::min(a.y, b.y), std::min(c.y, d.y)) <
                                                std::min(std::max(a.y, b.y), std::max(c.y, d.y)));
                        EXPECT_FALSE(crosses || along)
                            << "rings " << o << " and " << r << " meet along (" << a.x << ", "
                            << a.y << ")-(" << b.x << ", " << b.y << ")";
                    }
            }
            if (r > 0) {
                // Inside the outer ring: some hole point off the outer ring is inside it.
                bool checked = false;
                for (std::size_t k = 0; k < n && !checked; ++k) {
                    const auto p = ring[k];
                    bool onOuter = false;
                    for (const auto& o : polygon[0])
                        onOuter = onOuter || o == p;
                    if (onOuter) continue;
                    EXPECT_TRUE(Inside(p, polygon[0])) << "hole outside its outer ring";
                    checked = true;
                }
            }
        }
    }
    // The polygons of a band meet at points at most: no piece of the boundary belongs to two of
    // them (they would be one polygon, and a geometry library rejects their MultiPolygon).
    const auto polygons = isocontour::SplitPolygons(bands);
    for (std::size_t b = 0; b + 1 < bands.bandOffsets.size(); ++b) {
        std::map<std::array<double, 4>, std::size_t> owner; // piece, ends in order -> polygon
        for (auto p = bands.bandOffsets[b]; p < bands.bandOffsets[b + 1]; ++p)
            for (const auto& ring : polygons[std::size_t(p)])
                for (std::size_t k = 0; k + 1 < ring.size(); ++k) {
                    auto a = ring[k], c = ring[k + 1];
                    if (std::tie(c.x, c.y) < std::tie(a.x, a.y)) std::swap(a, c);
                    const auto [it, added] = owner.insert({{a.x, a.y, c.x, c.y}, std::size_t(p)});
                    EXPECT_TRUE(added || it->second == std::size_t(p))
                        << "polygons " << it->second << " and " << p << " share (" << a.x << ", "
                        << a.y << ")-(" << c.x << ", " << c.y << ")";
                }
    }
    return total;
}

// The area the bands and open bands must tile: every cell with all four corners usable, and
// with a corner mask half of every cell missing exactly one.
double ValidArea(const Field& f, const std::vector<std::uint8_t>* mask = nullptr,
                 bool cornerMask = false) {
    double cells = 0;
    for (std::ptrdiff_t i = 0; i + 1 < f.nx; ++i)
        for (std::ptrdiff_t j = 0; j + 1 < f.ny; ++j) {
            int missing = 0;
            for (int c = 0; c < 4; ++c) {
                const auto a = i + (c & 1), b = j + (c >> 1);
                missing += std::isnan(f.v[std::size_t(a * f.ny + b)]) ||
                           (mask && (*mask)[std::size_t(a * f.ny + b)] != 0);
            }
            cells += missing == 0 ? 1.0 : cornerMask && missing == 1 ? 0.5 : 0.0;
        }
    return cells;
}

TEST(FilledContours, RingRulesAndTilingOnSmoothedFields) {
    const std::vector<double> levels{-0.3, -0.1, 0.0, 0.05, 0.2, 0.4};
    for (const isocontour::Saddle saddle :
         {isocontour::Saddle::Above, isocontour::Saddle::Below, isocontour::Saddle::Centre,
          isocontour::Saddle::Diagonal})
        for (unsigned seed = 1; seed <= 4; ++seed) {
            const Field f = Smoothed(37 + seed, 29 + 3 * seed, seed);
            Options<double> o;
            o.saddle = saddle;
            o.openBands = true;
            const auto all = isocontour::FilledContours(f.view(), std::span(levels), o);
            ASSERT_EQ(all.lower.size(), levels.size() + 1);
            EXPECT_NEAR(CheckRings(all), ValidArea(f), 1e-9);
            // One band alone is the same as its part of the many-band call.
            const auto one = isocontour::FilledContours(f.view(), levels[1], levels[2], o);
            const auto b0 = all.bandOffsets[2], b1 = all.bandOffsets[3];
            ASSERT_EQ(one.PolygonCount(), std::size_t(b1 - b0));
            const auto p0 = all.ringOffsets[std::size_t(all.polygonOffsets[std::size_t(b0)])];
            EXPECT_TRUE(std::equal(one.points.begin(), one.points.end(), all.points.begin() + p0));
        }
}

// Islands with a pit each, nine to a row, in staggered rows so that each row's probes fall
// within some of the other islands' spans in x: a row's probes are tried only against the outer
// rings whose span holds them, and every hole must still be its own island's.
TEST(FilledContours, EveryIslandKeepsItsOwnPit) {
    Field f{90, 64, std::vector<double>(90 * 64)};
    for (std::ptrdiff_t i = 0; i < f.nx; ++i)
        for (std::ptrdiff_t j = 0; j < f.ny; ++j) {
            const double dy = double(j % 8) - 3.6, shift = (j / 8) % 2 ? 5.0 : 0.0;
            const double dx = std::fmod(double(i) + shift, 10.0) - 4.7;
            f.at(i, j) = std::exp(-std::pow(std::hypot(dx, dy) - 2.4, 2));
        }
    const auto bands = isocontour::FilledContours(f.view(), 0.5, 2.0);
    CheckRings(bands);      // each hole inside its polygon's outer ring
    std::size_t pitted = 0; // islands cut by the border may have lost their pit
    for (std::size_t p = 0; p < bands.PolygonCount(); ++p) {
        const auto rings = bands.polygonOffsets[p + 1] - bands.polygonOffsets[p];
        EXPECT_LE(rings, 2) << "polygon " << p;
        pitted += rings == 2;
    }
    EXPECT_GE(pitted, 60u);
}

TEST(FilledContours, PlateausExactlyAtLevelsNaNHolesAndMasks) {
    const std::vector<double> levels{-0.5, -0.25, 0.0, 0.25, 0.5};
    for (unsigned seed = 1; seed <= 6; ++seed) {
        Field f = Plateaus(31, 26, seed);
        std::vector<std::uint8_t> mask(f.v.size(), 0);
        std::mt19937 rng(seed);
        for (int k = 0; k < 12; ++k) {
            const auto i = std::ptrdiff_t(rng() % 31), j = std::ptrdiff_t(rng() % 26);
            if (k % 2)
                f.at(i, j) = std::numeric_limits<double>::quiet_NaN();
            else
                mask[std::size_t(i * f.ny + j)] = 1;
        }
        Options<double> o;
        o.openBands = true;
        o.mask = {mask.data(), f.nx, f.ny, f.ny, 1};
        for (const bool corner : {false, true}) {
            o.cornerMask = corner;
            o.threads = 1;
            const auto bands = isocontour::FilledContours(f.view(), std::span(levels), o);
            EXPECT_NEAR(CheckRings(bands), ValidArea(f, &mask, corner), 1e-9)
                << "seed " << seed << (corner ? ", corner mask" : "");
            o.threads = 4; // strips whose seams cross triangles and cracks
            const auto strips = isocontour::FilledContours(f.view(), std::span(levels), o);
            EXPECT_EQ(strips.points, bands.points);
            EXPECT_EQ(strips.ringOffsets, bands.ringOffsets);
        }
    }
}

TEST(FilledContours, BoundaryIsTheLinesOfBothLevels) {
    // No value sits on a level here, so the band's points are exactly its levels' line points
    // plus the border nodes inside the band; the same under each saddle rule.
    for (const isocontour::Saddle saddle :
         {isocontour::Saddle::Above, isocontour::Saddle::Below, isocontour::Saddle::Centre,
          isocontour::Saddle::Diagonal}) {
        const Field f = Smoothed(45, 38, 11);
        Options<double> o;
        o.saddle = saddle;
        const double lower = -0.05, upper = 0.12;
        const auto band = isocontour::FilledContours(f.view(), lower, upper, o);
        std::set<std::pair<double, double>> ours, lines;
        for (const auto& p : band.points) {
            const bool node = p.x == std::floor(p.x) && p.y == std::floor(p.y);
            if (node) {
                EXPECT_TRUE(p.x == 0 || p.y == 0 || p.x == f.nx - 1 || p.y == f.ny - 1);
                const double v = f.v[std::size_t(p.x * double(f.ny) + p.y)];
                EXPECT_TRUE(lower < v && v <= upper);
                continue;
            }
            ours.insert({p.x, p.y});
        }
        for (const double level : {lower, upper})
            for (const auto& p : isocontour::ContourLines(f.view(), level, o).points)
                lines.insert({p.x, p.y});
        EXPECT_GT(lines.size(), 100u);
        EXPECT_EQ(ours, lines);
    }
}

TEST(FilledContours, ThreadsAndLayoutsGiveTheSameOutput) {
    // Each thread scans its own block of rows: up to seven blocks, joined along their borders.
    const Field f = Smoothed(120, 301, 7);
    const std::vector<double> levels{-0.2, 0.0, 0.1};
    Options<double> o;
    o.openBands = true;
    const auto one = isocontour::FilledContours(f.view(), std::span(levels), o);
    for (const int threads : {2, 3, 7, 0}) {
        o.threads = threads;
        ExpectSameBands(isocontour::FilledContours(f.view(), std::span(levels), o), one);
    }
    // The same values stored y-major. The field is tall, with a flat stretch between rough ones,
    // so that x-major values are classified in short stripes of rows, then tall ones, then short
    // ones again.
    Field g = Smoothed(120, 1500, 9, 2);
    std::vector<double> rows(g.v.size());
    for (std::ptrdiff_t i = 0; i < g.nx; ++i)
        for (std::ptrdiff_t j = 0; j < g.ny; ++j) {
            if (j >= 200 && j < 1200) g.at(i, j) = 1;
            rows[std::size_t(j * g.nx + i)] = g.at(i, j);
        }
    for (const int threads : {1, 3}) {
        Options<double> p;
        p.threads = threads;
        ExpectSameBands(isocontour::FilledContours(g.view(), std::span(levels), p),
                        isocontour::FilledContours(isocontour::RowMajor(rows.data(), g.ny, g.nx),
                                                   std::span(levels), p));
    }
}

// Many levels over many crossings go a group of levels at a time, each group reading the values
// again: every band is still the one its own call gives (the open ones included), and every
// level's lines are its own call's.
TEST(FilledContours, LevelsTakenInGroupsGiveWhatEachLevelAloneGives) {
    Field f = Smoothed(800, 700, 5, 2);
    for (std::size_t k = 0; k < 400; ++k)
        f.v[k * 7919 % f.v.size()] = std::nan("");
    std::vector<double> levels;
    for (int k = 0; k < 16; ++k)
        levels.push_back(-0.6 + 0.08 * k); // the open bands beyond them: small spots
    const auto points = [](const Bands<double>& b, std::size_t band) {
        const auto ring = [&](std::int64_t polygon) {
            return b.ringOffsets[std::size_t(b.polygonOffsets[std::size_t(polygon)])];
        };
        return std::vector<Point<double>>(b.points.begin() + ring(b.bandOffsets[band]),
                                          b.points.begin() + ring(b.bandOffsets[band + 1]));
    };
    Options<double> open;
    open.openBands = true;
    open.threads = 3;
    const auto all = isocontour::FilledContours(f.view(), std::span<const double>(levels), open);
    ASSERT_EQ(all.lower.size(), levels.size() + 1);
    const std::size_t n = levels.size();
    for (std::size_t k = 0; k <= n; ++k) {
        Bands<double> one;
        std::size_t at = 0;
        if (k == 0 || k == n) { // an open band: the first or last of a two-level call's three
            const std::vector<double> two = k == 0 ? std::vector{levels[0], levels[1]}
                                                   : std::vector{levels[n - 2], levels[n - 1]};
            one = isocontour::FilledContours(f.view(), std::span(two), open);
            at = k == 0 ? 0 : 2;
        } else {
            one = isocontour::FilledContours(f.view(), levels[k - 1], levels[k]);
        }
        EXPECT_EQ(points(all, k), points(one, at)) << "band " << k;
    }
    Options<double> strips; // each group scanned again by every strip
    strips.threads = 3;
    // Also a small grid with many levels, grouped because each level takes a chunk per strip.
    Field small = Smoothed(90, 70, 6, 1);
    std::vector<double> many;
    for (int k = 0; k < 70; ++k)
        many.push_back(-0.7 + 0.02 * k);
    for (const auto& [g, ls] : {std::pair{&f, &levels}, std::pair{&small, &many}}) {
        const auto lines =
            isocontour::ContourLines(g->view(), std::span<const double>(*ls), strips);
        // The points are sized from the crossings' estimate, not from the groups' weights.
        EXPECT_LE(lines.points.capacity(), 2 * lines.points.size() + 1024);
        for (std::size_t k = 0; k < ls->size(); ++k) {
            const auto own = isocontour::ContourLines(g->view(), (*ls)[k]);
            const auto a = lines.offsets[std::size_t(lines.levelOffsets[k])];
            const auto b = lines.offsets[std::size_t(lines.levelOffsets[k + 1])];
            ASSERT_EQ(own.points.size(), std::size_t(b - a)) << "level " << k;
            EXPECT_TRUE(std::equal(own.points.begin(), own.points.end(), lines.points.begin() + a));
        }
    }
}

// The centre rule in the bands: a saddle whose mean lies above the lower level joins its two
// corners inside the band; one whose mean equals the level does not (equal is not above).
TEST(FilledContours, CentreRuleAtASaddleWhoseMeanIsTheLevel) {
    Options<double> o;
    o.saddle = isocontour::Saddle::Centre;
    const auto polygons = [&](std::vector<double> z) {
        return isocontour::FilledContours(isocontour::RowMajor(z.data(), 2, 2), 0.0, 5.0, o)
            .PolygonCount();
    };
    EXPECT_EQ(polygons({1, -1, -1, 1}), 2u);   // mean 0: two corners, cut off apart
    EXPECT_EQ(polygons({1.5, -1, -1, 1}), 1u); // mean above 0: one band through the centre
    EXPECT_EQ(polygons({1, -1, -1.5, 1}), 2u); // mean below
    o.saddle = isocontour::Saddle::Above;
    EXPECT_EQ(polygons({1, -1, -1, 1}), 1u);
}

// A value at a level belongs to the band below it (lower < value <= upper).
TEST(FilledContours, AValueAtALevelLiesInTheBandBelowIt) {
    const std::vector<double> z = {0, 0, 0, 0, 1, 0, 0, 0, 0};
    const View<double> v = isocontour::RowMajor(z.data(), 3, 3);
    const Bands<double> below = isocontour::FilledContours(v, 0.5, 1.0);
    ASSERT_EQ(below.PolygonCount(), 1u);
    // The diamond through the four edge midpoints around the centre, counter-clockwise.
    std::vector<Point<double>> ring = isocontour::SplitPolygons(below)[0][0];
    ASSERT_EQ(ring.size(), 5u);
    EXPECT_EQ(SignedArea(ring), 0.5);
    ring.pop_back();
    std::sort(ring.begin(), ring.end(),
              [](auto a, auto b) { return std::tie(a.x, a.y) < std::tie(b.x, b.y); });
    EXPECT_EQ(ring, (std::vector<Point<double>>{{0.5, 1}, {1, 0.5}, {1, 1.5}, {1.5, 1}}));
    EXPECT_EQ(isocontour::FilledContours(v, 1.0, 2.0).PolygonCount(), 0u);
    // All at the level: the whole grid in the band below, none above.
    const std::vector<double> flat(9, 1.0);
    const View<double> w = isocontour::RowMajor(flat.data(), 3, 3);
    EXPECT_EQ(isocontour::FilledContours(w, 0.0, 1.0).PolygonCount(), 1u);
    EXPECT_EQ(isocontour::FilledContours(w, 1.0, 2.0).PolygonCount(), 0u);
}

// With AtLevel::Above a value at a level lies in the band above it (lower <= value < upper): the
// region a <= z < b is -b < -z <= -a, so on plateaus at the levels the bands of z are those of -z
// at the negated levels (with the opposite saddle rule), ring for ring.
TEST(FilledContours, AtLevelAboveMovesAValueAtALevelToTheBandAboveIt) {
    // All at the level: the whole grid in the band above, none below.
    const std::vector<double> flat(9, 1.0);
    Options<double> above;
    above.atLevel = isocontour::AtLevel::Above;
    const View<double> w = isocontour::RowMajor(flat.data(), 3, 3);
    EXPECT_EQ(isocontour::FilledContours(w, 0.0, 1.0, above).PolygonCount(), 0u);
    EXPECT_NEAR(CheckRings(isocontour::FilledContours(w, 1.0, 2.0, above)), 4.0, 1e-12);
    // Band k's rings, each from its lowest point, sorted.
    const auto rings = [](const Bands<double>& b, std::size_t k) {
        const auto less = [](Point<double> p, Point<double> q) {
            return std::tie(p.x, p.y) < std::tie(q.x, q.y);
        };
        const auto polygons = isocontour::SplitPolygons(b);
        std::vector<std::vector<Point<double>>> out;
        for (auto p = b.bandOffsets[k]; p < b.bandOffsets[k + 1]; ++p)
            for (auto ring : polygons[std::size_t(p)]) {
                ring.pop_back();
                std::rotate(ring.begin(), std::min_element(ring.begin(), ring.end(), less),
                            ring.end());
                out.push_back(ring);
            }
        std::sort(out.begin(), out.end(), [&](const auto& x, const auto& y) {
            return std::lexicographical_compare(x.begin(), x.end(), y.begin(), y.end(), less);
        });
        return out;
    };
    const std::vector<double> levels{-0.5, -0.25, 0.0, 0.25, 0.5};
    for (unsigned seed = 1; seed <= 4; ++seed) {
        Field f = Plateaus(33, 27, seed), neg = f;
        for (auto& x : neg.v)
            x = -x;
        Options<double> below;
        below.saddle = isocontour::Saddle::Below;
        const auto a = isocontour::FilledContours(f.view(), std::span(levels), above);
        const auto b = isocontour::FilledContours(neg.view(), std::span(levels), below);
        EXPECT_NEAR(CheckRings(a), CheckRings(b), 1e-9);
        const std::size_t nb = levels.size() - 1; // band k of z is band nb - 1 - k of -z
        for (std::size_t k = 0; k < nb; ++k) {
            EXPECT_FALSE(rings(a, k).empty());
            EXPECT_EQ(rings(a, k), rings(b, nb - 1 - k)) << "seed " << seed << " band " << k;
        }
    }
}

// Inputs that once gave rings a geometry library rejects: a crossing a denormal away from a node
// (a ring through it and the node touched itself), and two parts of a band touching at a node
// as a figure of eight (the clockwise part was taken for a hole of the other, outside it).
TEST(FilledContours, RingsStayValidBesideNodesAndTouchingParts) {
    // A hole a few units in the last place across, around a node far below its neighbours: its
    // area, from coordinates near 1, rounded to the wrong sign, and it became a polygon of its
    // own inside the band instead of its hole.
    {
        std::vector<double> pit(17 * 15, 16777216);
        pit[12 * 17 + 14] = -0.75; // node (14, 12)
        const Bands<double> b =
            isocontour::FilledContours(isocontour::RowMajor(pit.data(), 15, 17), 0.25, 4.6e24);
        ASSERT_EQ(b.PolygonCount(), 1u);
        EXPECT_EQ(b.polygonOffsets[1], 2); // the outer ring and the hole
        CheckRings(b);
    }
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<double> tiny = {1e300, -1e300, 1e300, 3, -1, -1, 0, 1};
    const std::vector<double> levels = {-1e-32, 5e-324, 2e-32};
    Options<double> o;
    o.saddle = isocontour::Saddle::Below;
    CheckRings(isocontour::FilledContours(isocontour::RowMajor(tiny.data(), 4, 2),
                                          std::span<const double>(levels), o));
    // Values and levels a unit in the last place apart around 0.3 (and nodes exactly at a
    // level): bands of no width, and crossings closer to nodes and to each other than points can
    // show, which the construction takes as nodes and pinches.
    const double near3[7] = {0.1,
                             0.2,
                             0.3,
                             std::nextafter(0.3, 1.0),
                             std::nextafter(std::nextafter(0.3, 1.0), 1.0),
                             std::nextafter(0.3, 0.0),
                             0.7};
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"0366226", "3254426", "2343550", "3061510", "1166604", "4602603", "2560026"}, "234"},
        {{"6313302", "2143322", "4360310", "6466566", "4512140", "5642322"}, "035"},
        {{"32561", "36020", "04312", "34461", "00503", "40016", "32523"}, "146"},
        {{"51111", "13313", "56416", "35152"}, "125"},
        {{"0252636", "4102654", "1666115", "4242466"}, "134"},
        {{"30213", "54432", "62526", "31200"}, "246"},
        {{"44", "66", "56", "62", "05"}, "023"},
        {{"6656550", "3462515", "2315064", "6646166"}, "234"},
        {{"65251", "45340", "66121", "46422", "35316", "56143"}, "235"},
        {{"231636351", "223612263", "120533303", "231531662", "533305165", "665560003", "022263622",
          "613536162", "031613552", "510533613", "035131531"},
         "0136"}};
    for (const auto& [rows, levelDigits] : cases) {
        std::vector<double> z;
        for (const std::string& row : rows)
            for (const char c : row)
                z.push_back(near3[c - '0']);
        std::vector<double> lv;
        for (const char c : levelDigits)
            lv.push_back(near3[c - '0']);
        std::sort(lv.begin(), lv.end());
        SCOPED_TRACE(rows[0]);
        CheckRings(
            isocontour::FilledContours(isocontour::RowMajor(z.data(), std::ptrdiff_t(rows.size()),
                                                            std::ptrdiff_t(rows[0].size())),
                                       std::span<const double>(lv), o));
    }
    // A corner mask's triangle whose two levels' pieces run a sliver (1e-16) apart along its
    // diagonal, near y = 21, where y's unit in the last place is 20 times that: crossings on the
    // diagonal rounded in x and y apart put them on the wrong sides of each other, and they
    // crossed.
    {
        std::vector<double> z(2 * 22, std::numeric_limits<double>::quiet_NaN());
        z[20 * 2 + 1] = 0;                       // node (1, 20)
        z[21 * 2 + 0] = -7.4766359217631341e+34; // node (0, 21)
        z[21 * 2 + 1] = 3.4028234663852886e+38;  // node (1, 21)
        Options<double> corner = o;
        corner.cornerMask = true;
        const Bands<double> b =
            isocontour::FilledContours(isocontour::RowMajor(z.data(), 22, 2), -3.53480406815108e+25,
                                       -3.5271576621482265e+25, corner);
        ASSERT_EQ(b.PolygonCount(), 1u);
        CheckRings(b);
    }
    const std::vector<float> eight = {
        1,       1, 3,          -1e-32f,    0.5f,    0.5f,        0,           3,
        -1e-32f, 0, 0,          0.5f,       0.5f,    float(inf),  3,           -float(inf),
        -1,      0, float(inf), float(inf), -1e-32f, -float(inf), -float(inf), 1};
    const std::vector<float> flevels = {-1e-32f, 0, 3};
    const Bands<float> f = isocontour::FilledContours(isocontour::RowMajor(eight.data(), 6, 4),
                                                      std::span<const float>(flevels));
    Bands<double> wide;
    for (const auto& q : f.points)
        wide.points.push_back({q.x, q.y});
    wide.ringOffsets = f.ringOffsets;
    wide.polygonOffsets = f.polygonOffsets;
    wide.bandOffsets = f.bandOffsets;
    CheckRings(wide);
}

// The bands of a grid contoured window by window (each view cut with a halo), joined in a tree
// (with `reversed`, each pair later window first; with `apart`, the whole rings moved out of
// every window and join as they are found, and the bands finished from them) and finished.
Bands<double> ByWindows(View<double> v, const Options<double>& o, std::span<const double> levels,
                        const std::vector<std::ptrdiff_t>& xs,
                        const std::vector<std::ptrdiff_t>& ys, bool reversed, bool apart) {
    using Pieces = isocontour::PolygonPieces<double>;
    std::vector<Pieces> parts;
    for (std::size_t b = 0; b + 1 < ys.size(); ++b)
        for (std::size_t a = 0; a + 1 < xs.size(); ++a) {
            isocontour::Window w{0, 0, v.nx, v.ny, xs[a], ys[b], xs[a + 1], ys[b + 1]};
            w.x0 = std::max<std::ptrdiff_t>(w.cellX0 - 1, 0);
            w.y0 = std::max<std::ptrdiff_t>(w.cellY0 - 1, 0);
            const std::ptrdiff_t nx = std::min(w.cellX1 + 1, v.nx - 1) - w.x0 + 1;
            const std::ptrdiff_t ny = std::min(w.cellY1 + 1, v.ny - 1) - w.y0 + 1;
            Options<double> wo = o;
            if (o.mask.Present())
                wo.mask = {&o.mask(w.x0, w.y0), nx, ny, o.mask.strideX, o.mask.strideY, 0};
            if (o.x.Present()) {
                wo.x = {&o.x(w.x0, 0), nx, 1, o.x.strideX, 1, 0};
                wo.y = {&o.y(w.y0, 0), ny, 1, o.y.strideX, 1, 0};
            }
            const View<double> cut{&v(w.x0, w.y0), nx, ny, v.strideX, v.strideY, 0};
            parts.push_back(isocontour::FilledContours(cut, w, levels, wo));
        }
    Pieces closed;
    if (apart)
        for (Pieces& p : parts)
            isocontour::MoveRings(p, closed);
    while (parts.size() > 1) {
        std::vector<Pieces> joined;
        for (std::size_t k = 0; k < parts.size(); k += 2) {
            if (k + 1 == parts.size()) {
                joined.push_back(parts[k]);
                continue;
            }
            const Pieces* two[2] = {&parts[k], &parts[k + 1]};
            if (reversed) std::swap(two[0], two[1]);
            joined.push_back(isocontour::JoinPolygons(std::span<const Pieces* const>(two)));
            if (apart) isocontour::MoveRings(joined.back(), closed);
        }
        parts = std::move(joined);
    }
    if (!apart) return isocontour::FinishPolygons(parts[0]);
    EXPECT_EQ(parts[0].PieceCount(), 0u);
    EXPECT_EQ(parts[0].RingCount(), 0u);
    return isocontour::FinishPolygons(closed);
}

TEST(FilledContours, WindowsJoinedGiveTheWholeGridsBands) {
    const std::vector<double> levels{-0.5, -0.25, 0.0, 0.25, 0.5};
    std::vector<double> xs(60), ys(50);
    for (std::size_t i = 0; i < xs.size(); ++i)
        xs[i] = 10.0 + 0.5 * double(i) + 0.002 * double(i * i);
    for (std::size_t j = 0; j < ys.size(); ++j)
        ys[j] = -0.25 * double(j);
    for (unsigned seed = 1; seed <= 3; ++seed) {
        // Plateaus on the levels (keyed vertices on the windows' sides), NaN and a mask.
        Field f = Plateaus(60, 50, seed);
        std::vector<std::uint8_t> mask(f.v.size(), 0);
        std::mt19937 rng(seed);
        for (int k = 0; k < 60; ++k) {
            const std::size_t at = rng() % f.v.size();
            if (k % 2)
                f.v[at] = std::numeric_limits<double>::quiet_NaN();
            else
                mask[at] = 1;
        }
        for (int variant = 0; variant < 4; ++variant) {
            Options<double> o;
            o.mask = {mask.data(), f.nx, f.ny, f.ny, 1};
            o.openBands = variant != 1;
            o.cornerMask = variant >= 2;
            o.saddle = isocontour::Saddle(variant % 3);
            o.atLevel = variant == 3 ? isocontour::AtLevel::Above : isocontour::AtLevel::Below;
            if (variant == 1) o.x = {xs.data(), 60, 1, 1, 1, 0}, o.y = {ys.data(), 50, 1, 1, 1, 0};
            o.threads = 1 + variant % 2;
            const Bands<double> whole = isocontour::FilledContours(f.view(), std::span(levels), o);
            for (const auto& [cx, cy] :
                 {std::pair<std::vector<std::ptrdiff_t>, std::vector<std::ptrdiff_t>>{{0, 30, 59},
                                                                                      {0, 24, 49}},
                  {{0, 1, 17, 18, 59}, {0, 10, 11, 40, 49}},
                  {{0, 59}, {0, 1, 2, 49}},
                  {{0, 59}, {0, 49}}}) {
                const Bands<double> joined = ByWindows(f.view(), o, std::span(levels), cx, cy,
                                                       variant % 2 == 1, variant >= 2);
                SCOPED_TRACE("seed " + std::to_string(seed) + " variant " +
                             std::to_string(variant) + " windows " + std::to_string(cx.size()) +
                             "x" + std::to_string(cy.size()));
                ExpectSameBands(joined, whole);
            }
        }
    }
}

// The rings' areas where long double is emulated (WebAssembly) are summed in twice a double's
// precision: its products must be exact, here against the two significands' product in 128-bit
// integers, and its sums against long double sums that fit its significand.
TEST(FilledContours, TwofoldSumsAndProductsAreExact) {
    using isocontour::detail::Twofold;
    std::mt19937_64 rng(5);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    for (int k = 0; k < 20000; ++k) {
        const double a = std::ldexp(unit(rng), int(rng() % 40) - 20);
        const double b = std::ldexp(unit(rng), int(rng() % 40) - 20);
        const Twofold p = isocontour::detail::TwoProduct(a, b);
        ASSERT_EQ(p.hi, a * b);
        int ea = 0, eb = 0;
        const double ma = std::frexp(a, &ea), mb = std::frexp(b, &eb);
        __extension__ typedef __int128 Int128;
        const Int128 exact = Int128(std::ldexp(ma, 53)) * Int128(std::ldexp(mb, 53));
        const int shift = 106 - ea - eb; // a * b is exact * 2^-shift
        ASSERT_TRUE(Int128(std::ldexp(p.hi, shift)) + Int128(std::ldexp(p.lo, shift)) == exact)
            << a << " * " << b;
        const double c = std::ldexp(unit(rng), int(rng() % 8));
        const double d = std::ldexp(unit(rng), int(rng() % 8));
        const Twofold s = isocontour::detail::TwoSum(c, d);
        ASSERT_EQ((long double)s.hi + (long double)s.lo, (long double)c + (long double)d);
        // (a + b)(c - d) - ac + bd = bc - ad: the large terms cancel, and their low parts stay.
        const Twofold e = (Twofold{a} + Twofold{b}) * (Twofold{c} - Twofold{d}) -
                          Twofold{a} * Twofold{c} + Twofold{b} * Twofold{d};
        const long double want = (long double)a * d * -1 + (long double)b * c;
        ASSERT_NEAR(double(e.hi), double(want), 1e-15 * (std::fabs(a * d) + std::fabs(b * c)));
    }
}

// Which ring a hole lies in rests on a probe at the middle of two points and on whether a piece
// crosses the ray from it towards -x. In twice a double's precision (where long double would be
// emulated) both must be exact: here against 128-bit integers, on pieces in steps of 2^-20 near
// 2048, with probes on them, half steps beside them, far off, and half an ulp off an end's height.
TEST(FilledContours, RayProbeCrossingsAreExact) {
    using isocontour::detail::Mid;
    using isocontour::detail::Twofold;
    __extension__ typedef __int128 Int128;
    std::mt19937_64 rng(11);
    const double step = std::ldexp(1.0, -20);
    const auto steps = [&](int bits) {
        return double(std::int64_t(rng() % (2u << bits)) - (1 << bits));
    };
    const auto units = [&](double v) { return Int128(std::ldexp(v, 43)); }; // exact from 512
    int crossings = 0, onPiece = 0;
    for (int k = 0; k < 20000; ++k) {
        // A piece through (px, py), and a probe (x1 + x2) / 2, (y1 + y2) / 2 a few half steps or
        // far from that point: on the piece when the offsets are 0.
        const double px = 2048 + steps(30) * step, py = 2048 + steps(30) * step;
        const double dx = steps(20) * step, dy = steps(20) * step;
        const double i = double(rng() % 512 + 1), j = double(rng() % 512 + 1);
        const double ax = px - i * dx, ay = py - i * dy, bx = px + j * dx, by = py + j * dy;
        const int far = k % 4 == 0 ? 20 : 1;
        double x1 = px + steps(far) * step, x2 = px, y1 = py, y2 = py + steps(far) * step;
        if (k % 4 == 1) { // a probe half a unit in the last place beside an end's height
            x1 = x2 = px + steps(20) * step;
            y1 = rng() % 2 ? ay : by;
            y2 = std::nextafter(y1, rng() % 2 ? 0.0 : 1e9);
        }
        const Twofold x = Mid<Twofold>::Of(x1, x2), y = Mid<Twofold>::Of(y1, y2);
        const auto above = [&](double v) { return 2 * units(v) > units(y1) + units(y2); };
        ASSERT_EQ(Mid<Twofold>::Above(ay, y), above(ay));
        const Int128 ex = units(bx) - units(ax), ey = units(by) - units(ay);
        const Int128 left = (2 * units(ax) - units(x1) - units(x2)) * ey +
                            (units(y1) + units(y2) - 2 * units(ay)) * ex;
        const bool straddles = above(ay) != above(by);
        const bool want = straddles && (ey > 0 ? left < 0 : left > 0);
        ASSERT_EQ(isocontour::detail::CrossesRay<Twofold>(ax, ay, bx, by, x, y), want)
            << ax << " " << ay << " " << bx << " " << by << " probe " << x.hi << " " << y.hi;
        crossings += want;
        onPiece += straddles && left == 0;
    }
    EXPECT_GT(crossings, 1000); // both answers and the exact ties were met
    EXPECT_GT(onPiece, 100);
}

TEST(FilledContours, RefusesBadLevels) {
    const Field f = Smoothed(5, 5, 1);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_THROW(isocontour::FilledContours(f.view(), 1.0, 1.0), isocontour::Error);
    EXPECT_THROW(isocontour::FilledContours(f.view(), 2.0, 1.0), isocontour::Error);
    EXPECT_THROW(isocontour::FilledContours(f.view(), nan, 1.0), isocontour::Error);
    const std::vector<double> unsorted{0.0, 0.2, 0.1}, single{0.0}, withNan{0.0, nan},
        repeated{0.0, 0.1, 0.1, 0.3};
    EXPECT_THROW(isocontour::FilledContours(f.view(), std::span(unsorted)), isocontour::Error);
    EXPECT_THROW(isocontour::FilledContours(f.view(), std::span(repeated)), isocontour::Error);
    EXPECT_THROW(isocontour::FilledContours(f.view(), std::span(single)), isocontour::Error);
    EXPECT_THROW(isocontour::FilledContours(f.view(), std::span(withNan)), isocontour::Error);
    const View<double> none{nullptr, 4, 4, 4, 1};
    EXPECT_THROW(isocontour::FilledContours(none, 0.0, 1.0), isocontour::Error);
    const auto tiny = isocontour::FilledContours(View<double>{f.v.data(), 1, 5, 5, 1}, 0.0, 1.0);
    EXPECT_EQ(tiny.PolygonCount(), 0u);
    EXPECT_EQ(tiny.bandOffsets.size(), 2u);
}

} // namespace
