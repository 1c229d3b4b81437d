// Filled bands, internal: the steps that turn a band's linked boundary pieces into rings and
// rings into polygons, shared by whole calls (AssembleBand) and windows (filled_windows.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "filled_pieces.h"

namespace isocontour::detail {

// No vertex: the mark of a piece that does not begin where several band corners meet.
inline constexpr std::uint64_t kNoVertex = ~std::uint64_t(0);

// The rings a walk found, in the scratch's memory.
struct Rings {
    Buffer<std::int64_t>& pieces;
    Buffer<std::size_t>& start;
    // Rings split apart at a vertex: (the ring split off, a piece of the ring it came from;
    // after the walk, that ring).
    Buffer<std::pair<std::size_t, std::int64_t>>& splits;
    std::size_t Count() const { return start.size() - 1; }
    std::span<const std::int64_t> Ring(std::size_t r) const {
        return std::span(pieces).subspan(start[r], start[r + 1] - start[r]);
    }
    void Close() { start.push_back(pieces.size()); }
};

// Links the pieces at keyed vertices (p.keyed), each arriving piece to the first departing one
// clockwise; leaves in r.multi, per piece, the key of the vertex it starts at when several band
// corners meet there (kNoVertex elsewhere), or nothing if none do.
template <class T> void LinkKeyed(BandPieces<T>& p, RingScratch<T>& r);

// Follows the links from each piece not yet used (nor flagged in skip, one flag per piece, when
// skip is not null), in the pieces' order; splits a walk at a vertex it meets twice (r.multi).
template <class T> Rings Walk(const BandPieces<T>& p, RingScratch<T>& r, const std::uint8_t* skip);

// The signed area of a ring in grid units (positive counter-clockwise), its sign kept however
// small.
template <class T> double GridArea(const BandPieces<T>& p, std::span<const std::int64_t> ring);

// Whether ring outer encloses ring hole, which touches it at a vertex at most.
template <class T>
bool Encloses(const BandPieces<T>& p, std::span<const std::int64_t> outer,
              std::span<const std::int64_t> hole);

// For each hole (s.area < 0) without an owner yet (s.owner), the innermost outer ring around it.
template <class T>
void HoleOwners(const BandPieces<T>& p, const Rings& rings, std::ptrdiff_t ny, RingScratch<T>& s);

// Appends ring's points (closed, without repeats or spikes) in the orientation asked for to out;
// false, with nothing appended, when fewer than three points are left. keep is scratch.
template <class T>
bool WriteRing(const BandPieces<T>& p, std::span<const std::int64_t> ring, bool ccw,
               Buffer<std::int64_t>& keep, Bands<T>& out);

} // namespace isocontour::detail
