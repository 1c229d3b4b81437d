// Joined lines, internal: one level's crossings as one strip makes them, and the scratch memory
// of a call, which a workspace keeps between calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "chunks.h"
#include "isocontour/isocontour.h"
#include "strips.h"

namespace isocontour::detail {

inline constexpr Id kNone = -1;

// One level's crossings made by one strip, and what stitching it to its neighbours needs.
template <class T> struct Crossings {
    using Chunk = CrossingChunk<T>;
    std::vector<std::unique_ptr<Chunk>> chunks;
    std::vector<std::unique_ptr<Point<T>[]>> normals;   // per chunk, with Options::normals
    std::vector<std::unique_ptr<std::uint64_t[]>> keys; // per chunk, in a window: Frame::Key
    std::vector<std::uint32_t> used;                    // crossings in each chunk
    std::size_t count = 0;                              // ids handed out, chunk gaps included
    SeamEnds ends;                                      // by x, on the strip's two seams
    std::vector<Id> rowBelow, rowAbove; // ids on the current cell row's bottom and top edges
    Id left = kNone;                    // id on the current cell's left edge
    ChunkPool<T>* pool = nullptr;

    Id& NextAt(std::size_t i) { return chunks[i >> Chunk::kShift]->next[i & (Chunk::kSize - 1)]; }

    // A new crossing's slot.
    Id Add(bool withNormals, bool withKeys) {
        if ((count & (Chunk::kSize - 1)) == 0) {
            if (chunks.size() >= (std::size_t(1) << (31 - Chunk::kShift)) - 1) [[unlikely]]
                throw Error("more crossings than this library numbers (2^31)");
            chunks.push_back(pool->Take());
            if (withNormals) normals.push_back(pool->TakeNormals());
            if (withKeys) keys.push_back(pool->TakeKeys());
            used.push_back(0);
            count = (chunks.size() - 1) << Chunk::kShift;
        }
        ++used.back();
        return Id(count++);
    }

    // Back to empty, the chunks to the pool; the vectors keep their memory.
    void Reset() {
        pool->Give(chunks, normals, keys);
        used.clear();
        count = 0;
        left = kNone;
    }
};

// The cells a call contours and how it numbers its crossings: every cell of the view (a plain
// call), or a window of a larger grid (see isocontour::Window), in view indices.
struct Frame {
    std::ptrdiff_t cx0 = 0, cx1 = 0, cy0 = 0, cy1 = 0; // the cells contoured
    std::ptrdiff_t gx = 0, gy = 0;                     // the view's node (0, 0) in the grid
    std::ptrdiff_t gridCellsX = 0;                     // cells per row of the grid
    bool below = false, left = false, above = false, right = false; // the grid goes on there

    // A crossing's number in the grid's order: made by cell (x, y) (view indices) as its rank-th
    // edge (0 bottom, 1 left, 2 right, 3 top, 4 a triangle's diagonal), the order in which a
    // whole grid's call makes them.
    std::uint64_t Key(std::ptrdiff_t x, std::ptrdiff_t y, int rank) const {
        return (std::uint64_t(y + gy) * std::uint64_t(gridCellsX) + std::uint64_t(x + gx)) * 5 +
               std::uint64_t(rank);
    }
    // Marks on a stored key: the line goes on past the frame there; the crossing may equal its
    // neighbour along the line (see CrossingChunk::mayRepeat).
    static constexpr std::uint64_t kGoesOn = std::uint64_t(1) << 63;
    static constexpr std::uint64_t kMayRepeat = std::uint64_t(1) << 62;
    static constexpr std::uint64_t kMarks = kGoesOn | kMayRepeat;
};

// One line's crossings in order, while a window's lines are written or pieces joined.
template <class T> struct LineCrossings {
    std::vector<Point<T>> points, normals; // normals: empty without Options::normals
    std::vector<std::uint64_t> keys;       // Frame::Key with its marks
    void Clear() {
        points.clear();
        normals.clear();
        keys.clear();
    }
};

// A strip's classification buffers.
struct StripRows {
    std::vector<std::uint32_t> above, unusable, bad, top;
};

// Everything a call of ContourLines works in besides its output.
template <class T> struct LinesScratch {
    std::vector<Strip> strips;
    std::vector<std::vector<Crossings<T>>> crossings; // [strip][level]
    std::vector<StripRows> rows;                      // [strip]
    std::vector<Crossings<T>*> level;                 // one level's strips, while joined
    std::vector<SeamEnds*> ends;
    std::vector<std::int64_t> base;
    std::vector<std::uint64_t> hasPrev, done;        // by crossing, while written out
    std::vector<std::pair<Id, std::size_t>> closing; // (place, crossing) of each closing point
    LineCrossings<T> line;                           // a window's line, while written
};

} // namespace isocontour::detail
