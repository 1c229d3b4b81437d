// The library's argument checks: views that stay inside their arrays, shapes that agree, levels
// that are numbers. Each refusal is a isocontour::Error with one line saying what is wrong.
#pragma once

#include <cassert>

#include <span>

#include "coords.h"
#include "isocontour/isocontour.h"

namespace isocontour::detail {

// Throws unless view is absent or its nodes all lie inside it (see View::size). what names the
// view in the message ("values", "mask", "x", "y").
template <class V> void CheckView(const V& view, const char* what);

// Checks values, the options' views against the values' shape and the thread count; returns
// the kind of coordinates. Coordinates must be finite.
template <class T> CoordKind CheckArguments(View<T> values, const Options<T>& options);

// Throws for a NaN level.
template <class T> void CheckLevels(std::span<const T> levels);

// Under log interpolation, every level and every usable value (not NaN, not masked) must be > 0.
template <class T>
void CheckInterpolation(View<T> values, std::span<const T> levels, const Options<T>& options);

// Fewer than 2 x 2 nodes: no cells, an empty result.
template <class T> bool HasCells(View<T> values) { return values.nx >= 2 && values.ny >= 2; }

// An invariant of the library's own making, which no input can break. A debug build stops at a
// broken one (assert prints the message); a release build throws Error with it, so that an
// impossible state is reported instead of output being lost in silence.
[[noreturn]] void Broken(const char* message);
#define ISOCONTOUR_CHECK(condition, message)                                                       \
    do {                                                                                           \
        const bool isocontourHeld = bool(condition);                                               \
        assert(isocontourHeld&& message);                                                          \
        if (!isocontourHeld) [[unlikely]]                                                          \
            ::isocontour::detail::Broken(message);                                                 \
    } while (0)

} // namespace isocontour::detail
