// Work spread over threads: the one place the library starts any, in a file per platform
// (threads_std.cpp with the standard library's threads, threads_win32.cpp where the compiler's
// thread model has none).
#pragma once

#include <cstddef>
#include <exception>
#include <vector>

namespace isocontour::detail {

// The number of cores, at least 1.
unsigned CoreCount();

// The threads Options::threads asks for: as many, or with 0 one per core; at least 1.
inline unsigned ThreadsAsked(int threads) {
    return threads == 0 ? CoreCount() : unsigned(threads < 1 ? 1 : threads);
}

// Calls task(context, b) for b = 1 .. n - 1 on threads of their own and b = 0 on the calling one,
// and returns when all have finished. task must not throw.
void RunOnThreads(std::size_t n, void (*task)(void*, std::size_t), void* context);

// Calls work(b) for b = 0 .. n - 1, each on its own thread but the first; the first exception
// thrown is rethrown once all have finished.
template <class Work> void RunEach(std::size_t n, Work&& work) {
    if (n == 1) { // on the calling thread, with nothing to gather
        work(std::size_t(0));
        return;
    }
    struct Context {
        Work& work;
        std::vector<std::exception_ptr> errors;
    } context{work, std::vector<std::exception_ptr>(n)};
    RunOnThreads(
        n,
        [](void* c, std::size_t b) {
            Context& ctx = *static_cast<Context*>(c);
            try {
                ctx.work(b);
            } catch (...) {
                ctx.errors[b] = std::current_exception();
            }
        },
        &context);
    for (const std::exception_ptr& e : context.errors)
        if (e) std::rethrow_exception(e);
}

} // namespace isocontour::detail
