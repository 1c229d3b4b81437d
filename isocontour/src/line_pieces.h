// Lines of a window of a larger grid: its frame from the caller's Window, and how a line found
// crossing by crossing becomes a whole line or stays a piece for the joins.
#pragma once

#include <cstddef>
#include <cstdint>

#include "isocontour/isocontour.h"
#include "lines.h"

namespace isocontour::detail {

// The frame of a window on a view of nx x ny nodes; throws Error unless the window lies in the
// grid and the view, with a halo of one node on every side where the grid goes on.
Frame FrameOf(const Window& w, std::ptrdiff_t nx, std::ptrdiff_t ny);

// Adds line (crossings in order; closed when the last links back to the first) of level index
// level to out: as a whole line, written exactly as a whole grid's call writes it, or where it
// goes on past the window (its first or last crossing marked), as a piece.
template <class T>
void AddLine(const LineCrossings<T>& line, bool closed, std::uint32_t level, LinePieces<T>& out);

} // namespace isocontour::detail
