// Large pages on Linux: transparent huge pages, asked for per range with madvise (the system's
// default is often to give them only where asked).
#include <sys/mman.h>

#include <cstdint>

#include "pages.h"

namespace isocontour::detail {

void AdviseLargePages(void* p, std::size_t bytes) noexcept {
    if (bytes < kLargeBuffer) return;
    constexpr std::uintptr_t kPage = std::uintptr_t(2) << 20;
    const std::uintptr_t begin = (std::uintptr_t(p) + kPage - 1) & ~(kPage - 1);
    const std::uintptr_t end = (std::uintptr_t(p) + bytes) & ~(kPage - 1);
    // Refused where the kernel has no huge pages: the buffer then keeps its small ones.
    if (begin < end) (void)madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

} // namespace isocontour::detail
