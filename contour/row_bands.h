// The thread split: cell rows cut into consecutive bands, one per thread, each worked on alone.
#pragma once

#include <algorithm>
#include <cstddef>
#include <exception>
#include <thread>
#include <vector>

namespace contour::detail {

struct RowBand {
    std::ptrdiff_t y0, y1; // cell rows y0 .. y1 - 1
};

// threads (0: one per core) bands of about equal height over cellRows rows, but none smaller
// than a quarter of a million nodes' worth of rows (a thread costs more than such a band).
inline std::vector<RowBand> SplitRows(std::ptrdiff_t cellRows, std::ptrdiff_t nx, int threads) {
    std::ptrdiff_t n = threads > 0 ? threads : std::max(1u, std::thread::hardware_concurrency());
    const std::ptrdiff_t minRows =
        std::max<std::ptrdiff_t>(1, (1 << 18) / std::max<std::ptrdiff_t>(nx, 1));
    n = std::max<std::ptrdiff_t>(1, std::min(n, cellRows / minRows));
    std::vector<RowBand> bands;
    for (std::ptrdiff_t b = 0; b < n; ++b)
        bands.push_back({cellRows * b / n, cellRows * (b + 1) / n});
    return bands;
}

// Calls work(b) for b = 0 .. n - 1, band 0 on the calling thread and each other on its own; the
// first exception thrown is rethrown once all have finished.
template <class Work> void RunEach(std::size_t n, Work&& work) {
    std::vector<std::exception_ptr> errors(n);
    auto guarded = [&](std::size_t b) {
        try {
            work(b);
        } catch (...) {
            errors[b] = std::current_exception();
        }
    };
    std::vector<std::thread> threads;
    threads.reserve(n > 0 ? n - 1 : 0);
    for (std::size_t b = 1; b < n; ++b)
        threads.emplace_back(guarded, b);
    if (n > 0) guarded(0);
    for (std::thread& t : threads)
        t.join();
    for (const std::exception_ptr& e : errors)
        if (e) std::rethrow_exception(e);
}

} // namespace contour::detail
