// Crossings stored in fixed blocks that never move as they fill, and the pool a workspace keeps
// them in between calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "contour/contour.h"

namespace contour::detail {

using Id = std::int32_t;

template <class T> struct CrossingBlock {
    static constexpr unsigned kShift = 15;
    static constexpr std::size_t kSize = std::size_t(1) << kShift;
    Point<T> points[kSize];
    Id next[kSize]; // the crossing after each along its line, or a marker
};

// Blocks handed back by finished calls, for the next; bands draw from it at once.
template <class T> class BlockPool {
  public:
    using Block = CrossingBlock<T>;
    std::unique_ptr<Block> Take() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!blocks_.empty()) {
                std::unique_ptr<Block> b = std::move(blocks_.back());
                blocks_.pop_back();
                return b;
            }
        }
        return std::unique_ptr<Block>(new Block);
    }
    std::unique_ptr<Point<T>[]> TakeNormals() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!normals_.empty()) {
                std::unique_ptr<Point<T>[]> b = std::move(normals_.back());
                normals_.pop_back();
                return b;
            }
        }
        return std::unique_ptr<Point<T>[]>(new Point<T>[Block::kSize]);
    } void Give(std::vector<std::unique_ptr<Block>>& blocks,
                std::vector<std::unique_ptr<Point<T>[]>>& normals) {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& b : blocks)
            if (b) blocks_.push_back(std::move(b));
        for (auto& n : normals)
            if (n) normals_.push_back(std::move(n));
        blocks.clear();
        normals.clear();
    }

  private:
    std::mutex mutex_;
    std::vector<std::unique_ptr<Block>> blocks_;
    std::vector<std::unique_ptr<Point<T>[]>> normals_;
};

} // namespace contour::detail

struct contour::Workspace::Memory {
    detail::BlockPool<float> floats;
    detail::BlockPool<double> doubles;
    template <class T> detail::BlockPool<T>& Pool() {
        if constexpr (sizeof(T) == sizeof(float))
            return floats;
        else
            return doubles;
    }
};
