// Crossings stored in chunks, fixed blocks of memory that never move as they fill, and the pool a
// workspace keeps them in between calls.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "isocontour/isocontour.h"
#include "pages.h"

namespace isocontour::detail {

using Id = std::int32_t;

template <class T> struct CrossingChunk {
    static constexpr unsigned kShift = 15;
    static constexpr std::size_t kSize = std::size_t(1) << kShift;
    Point<T> points[kSize];
    Id next[kSize]; // the crossing after each along its line, or a marker
    // Bit i set when crossing i may equal a neighbour along its line: it lies on a node (two
    // crossings of one cell can meet nowhere else), or the coordinates are not grid units.
    std::uint32_t mayRepeat[kSize / 32];

    bool MayRepeat(std::size_t i) const { return (mayRepeat[i >> 5] >> (i & 31)) & 1u; }
};

// Blocks of elements that never move, cut from slabs that grow as a call needs more (one block,
// then two, four, ... up to 16 per slab), so that a small call stays small and a large one gets
// slabs large enough for large pages. Blocks handed back are kept for the next Take.
template <class E> class Blocks {
  public:
    explicit Blocks(std::size_t size) : size_(size) {}
    E* Take() {
        if (free_.empty()) {
            const std::size_t n = std::clamp<std::size_t>(made_, 1, 16);
            slabs_.push_back(Slab(n * size_));
            for (std::size_t k = n; k-- > 0;)
                free_.push_back(slabs_.back().get() + k * size_);
            made_ += n;
        }
        E* b = free_.back();
        free_.pop_back();
        return b;
    }
    void Give(E* b) { free_.push_back(b); }

  private:
    static std::unique_ptr<E[]> Slab(std::size_t n) {
        std::unique_ptr<E[]> p(new E[n]); // left unwritten until used
        AdviseLargePages(p.get(), n * sizeof(E));
        return p;
    }
    std::size_t size_, made_ = 0;
    std::vector<std::unique_ptr<E[]>> slabs_;
    std::vector<E*> free_;
};

// The chunks (and the normals and keys beside them) of finished calls, for the next; strips draw
// from it at once. It owns every chunk it hands out.
template <class T> class ChunkPool {
  public:
    using Chunk = CrossingChunk<T>;
    Chunk* Take() {
        const Lock lock(busy_);
        return chunks_.Take();
    }
    Point<T>* TakeNormals() {
        const Lock lock(busy_);
        return normals_.Take();
    }
    std::uint64_t* TakeKeys() {
        const Lock lock(busy_);
        return keys_.Take();
    }
    void Give(std::vector<Chunk*>& chunks, std::vector<Point<T>*>& normals,
              std::vector<std::uint64_t*>& keys) {
        const Lock lock(busy_);
        for (Chunk* b : chunks)
            chunks_.Give(b);
        for (Point<T>* n : normals)
            normals_.Give(n);
        for (std::uint64_t* k : keys)
            keys_.Give(k);
        chunks.clear();
        normals.clear();
        keys.clear();
    }

  private:
    // A spin lock (taken once per chunk of crossings, so never for long): the standard mutex is
    // missing from some compilers' thread models.
    struct Lock {
        explicit Lock(std::atomic_flag& f) : flag(f) {
            while (flag.test_and_set(std::memory_order_acquire)) {
            }
        }
        ~Lock() { flag.clear(std::memory_order_release); }
        std::atomic_flag& flag;
    };
    std::atomic_flag busy_ = ATOMIC_FLAG_INIT;
    Blocks<Chunk> chunks_{1};
    Blocks<Point<T>> normals_{Chunk::kSize};
    Blocks<std::uint64_t> keys_{Chunk::kSize};
};

} // namespace isocontour::detail
