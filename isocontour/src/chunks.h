// Crossings stored in chunks, fixed blocks of memory that never move as they fill, and the pool a
// workspace keeps them in between calls.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "isocontour/isocontour.h"

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

// Chunks handed back by finished calls, for the next; strips draw from it at once.
template <class T> class ChunkPool {
  public:
    using Chunk = CrossingChunk<T>;
    std::unique_ptr<Chunk> Take() {
        {
            const Lock lock(busy_);
            if (!chunks_.empty()) {
                std::unique_ptr<Chunk> b = std::move(chunks_.back());
                chunks_.pop_back();
                return b;
            }
        }
        return std::unique_ptr<Chunk>(new Chunk);
    }
    std::unique_ptr<Point<T>[]> TakeNormals() {
        return TakeArray(normals_);
    } std::unique_ptr<std::uint64_t[]> TakeKeys() {
        return TakeArray(keys_);
    }
    void Give(std::vector<std::unique_ptr<Chunk>>& chunks,
              std::vector<std::unique_ptr<Point<T>[]>>& normals,
              std::vector<std::unique_ptr<std::uint64_t[]>>& keys) {
        const Lock lock(busy_);
        for (auto& b : chunks)
            if (b) chunks_.push_back(std::move(b));
        for (auto& n : normals)
            if (n) normals_.push_back(std::move(n));
        for (auto& k : keys)
            if (k) keys_.push_back(std::move(k));
        chunks.clear();
        normals.clear();
        keys.clear();
    }

  private:
    // One chunk's worth of an array that goes beside the chunks (normals, keys).
    template <class E> std::unique_ptr<E[]> TakeArray(std::vector<std::unique_ptr<E[]>>& kept) {
        {
            const Lock lock(busy_);
            if (!kept.empty()) {
                std::unique_ptr<E[]> b = std::move(kept.back());
                kept.pop_back();
                return b;
            }
        }
        return std::unique_ptr<E[]>(new E[Chunk::kSize]);
    }

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
    std::vector<std::unique_ptr<Chunk>> chunks_;
    std::vector<std::unique_ptr<Point<T>[]>> normals_;
    std::vector<std::unique_ptr<std::uint64_t[]>> keys_;
};

} // namespace isocontour::detail
