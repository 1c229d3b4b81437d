// What a Workspace holds: per value type, the pool of crossing chunks and the scratch memory of
// lines and of filled bands.
#pragma once

#include "chunks.h"
#include "filled_pieces.h"
#include "isocontour/isocontour.h"
#include "lines.h"

namespace isocontour::detail {

template <class T> struct Scratch {
    ChunkPool<T> pool;
    LinesScratch<T> lines;
    FilledScratch<T> filled;
};

} // namespace isocontour::detail

struct isocontour::Workspace::Memory {
    detail::Scratch<float> floats;
    detail::Scratch<double> doubles;
    template <class T> detail::Scratch<T>& Of() {
        if constexpr (sizeof(T) == sizeof(float))
            return floats;
        else
            return doubles;
    }
};
