// The package's flat calls: contour lines and filled bands of a row-major grid with the library's
// options as plain numbers, results as flat arrays whose offsets fit 32 bits (a WebAssembly
// memory holds fewer than 2^32 bytes).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "isocontour/isocontour.h"

namespace isocontour::js {

/// How the grid is placed: grid units, coordinates from arrays, or an origin and a step.
enum class Coords : int { Grid = 0, Rectilinear = 1, Curvilinear = 2, OriginStep = 3 };

/// The options as the JavaScript side passes them; coordinate arrays and the mask are in the
/// values' own type and layout (row-major, width * height), or absent (null).
template <class T> struct FlatOptions {
    Coords coords = Coords::Grid;
    const T* x = nullptr; // Rectilinear: width values; Curvilinear: width * height
    const T* y = nullptr; // Rectilinear: height values; Curvilinear: width * height
    double x0 = 0, y0 = 0, stepX = 1, stepY = 1; // OriginStep
    const std::uint8_t* mask = nullptr;
    int saddle = 0;        // Saddle: 0 above, 1 below, 2 centre
    int atLevel = 0;       // 0 below (value > level is above), 1 above (value >= level is)
    int interpolation = 0; // 0 linear, 1 log
    bool cornerMask = false, normals = false, openBands = false;
};

/// What a call leaves for the caller to copy out, with 32-bit offsets.
template <class T> struct FlatResult {
    Lines<T> lines;
    Bands<T> bands;
    std::vector<std::uint32_t> offsets, levelOffsets, ringOffsets, polygonOffsets, bandOffsets;
    std::vector<T> xs, ys; // coordinates made from an origin and a step
    std::vector<T> levels;
    Workspace work;
};

/// The lines of each level (in the order given) of values(i, j) = values[i + j * width].
/// Throws Error as the library does, and for coordinates that are not one of the kinds above.
template <class T>
void FlatLines(const T* values, std::ptrdiff_t width, std::ptrdiff_t height, const double* levels,
               std::size_t count, const FlatOptions<T>& options, FlatResult<T>& out);

/// The filled bands between consecutive levels (rising), plus the open ones with openBands.
template <class T>
void FlatBands(const T* values, std::ptrdiff_t width, std::ptrdiff_t height, const double* levels,
               std::size_t count, const FlatOptions<T>& options, FlatResult<T>& out);

} // namespace isocontour::js
