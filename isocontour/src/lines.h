// Joined lines, internal: one level's crossings as one strip makes them, and the scratch memory
// of a call, which a workspace keeps between calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "chunks.h"
#include "frame.h"
#include "isocontour/isocontour.h"
#include "level_ranges.h"
#include "strips.h"

namespace isocontour::detail {

inline constexpr Id kNone = -1;

// One level's crossings made by one strip, and what stitching it to its neighbours needs.
template <class T> struct Crossings {
    using Chunk = CrossingChunk<T>;
    std::vector<Chunk*> chunks;         // the pool's
    std::vector<Point<T>*> normals;     // per chunk, with Options::normals
    std::vector<std::uint64_t*> keys;   // per chunk, in a window: Frame::Key
    std::vector<std::uint32_t> used;    // crossings in each chunk
    std::size_t count = 0;              // ids handed out, chunk gaps included
    SeamEnds ends;                      // by x, on the strip's two seams
    std::vector<Id> rowBelow, rowAbove; // ids on the current cell row's bottom and top edges
    Id left = kNone;                    // id on the current cell's left edge
    ChunkPool<T>* pool = nullptr;

    Id& NextAt(std::size_t i) { return chunks[i >> Chunk::kShift]->next[i & (Chunk::kSize - 1)]; }

    // A new crossing's slot: the next in the last chunk, or the first of a new one.
    [[gnu::always_inline]] Id Add(bool withNormals, bool withKeys) {
        if ((count & (Chunk::kSize - 1)) == 0) [[unlikely]]
            NewChunk(withNormals, withKeys);
        ++used.back();
        return Id(count++);
    }
    [[gnu::noinline]] void NewChunk(bool withNormals, bool withKeys) {
        {
            if (chunks.size() >= (std::size_t(1) << (31 - Chunk::kShift)) - 1) [[unlikely]]
                throw Error("more crossings than this library numbers (2^31)");
            chunks.push_back(pool->Take());
            if (withNormals) normals.push_back(pool->TakeNormals());
            if (withKeys) keys.push_back(pool->TakeKeys());
            used.push_back(0);
            count = (chunks.size() - 1) << Chunk::kShift;
        }
    }

    // Back to empty, the chunks to the pool; the vectors keep their memory.
    void Reset() {
        pool->Give(chunks, normals, keys);
        used.clear();
        count = 0;
        left = kNone;
    }
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
    std::vector<std::uint8_t> dirty; // per node row of a stripe: an unusable node in it
    LevelRanges ranges;              // with many ascending levels, the words each may cross
};

// Everything a call of ContourLines works in besides its output.
template <class T> struct LinesScratch {
    std::vector<Strip> strips;
    std::vector<std::vector<Crossings<T>>> crossings; // [strip][level]
    std::vector<StripRows> rows;                      // [strip]
    std::vector<Crossings<T>*> level;                 // one level's strips, while joined
    std::vector<SeamEnds*> ends;
    std::vector<std::int64_t> base;
    std::vector<double> estimate, weights;           // by level, when the levels go in groups
    std::vector<std::size_t> groups;                 // the groups' ends
    std::vector<std::uint64_t> hasPrev, done;        // by crossing, while written out
    std::vector<std::pair<Id, std::size_t>> closing; // (place, crossing) of each closing point
    LineCrossings<T> line;                           // a window's line, while written
};

} // namespace isocontour::detail
