#include <algorithm>
#include <thread>
#include <vector>

#include "threads.h"

namespace isocontour::detail {

unsigned CoreCount() { return std::max(1u, std::thread::hardware_concurrency()); }

void RunOnThreads(std::size_t n, void (*task)(void*, std::size_t), void* context) {
    std::vector<std::thread> threads;
    threads.reserve(n > 0 ? n - 1 : 0);
    for (std::size_t b = 1; b < n; ++b)
        threads.emplace_back(task, context, b);
    if (n > 0) task(context, 0);
    for (std::thread& t : threads)
        t.join();
}

} // namespace isocontour::detail
