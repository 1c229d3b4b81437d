#include <windows.h>

#include <vector>

#include "threads.h"

namespace isocontour::detail {

unsigned CoreCount() {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwNumberOfProcessors > 0 ? unsigned(info.dwNumberOfProcessors) : 1u;
}

namespace {
struct Job {
    void (*task)(void*, std::size_t);
    void* context;
    std::size_t band;
};
DWORD WINAPI Start(LPVOID job) {
    const Job& j = *static_cast<const Job*>(job);
    j.task(j.context, j.band);
    return 0;
}
} // namespace

void RunOnThreads(std::size_t n, void (*task)(void*, std::size_t), void* context) {
    std::vector<Job> jobs(n);
    std::vector<HANDLE> threads;
    for (std::size_t b = 1; b < n; ++b) {
        jobs[b] = {task, context, b};
        const HANDLE h = CreateThread(nullptr, 0, Start, &jobs[b], 0, nullptr);
        if (h)
            threads.push_back(h);
        else
            task(context, b); // no thread to be had: the band runs here
    }
    if (n > 0) task(context, 0);
    for (const HANDLE h : threads) {
        WaitForSingleObject(h, INFINITE);
        CloseHandle(h);
    }
}

} // namespace isocontour::detail
