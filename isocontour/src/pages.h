// Large buffers on large pages: the first touch of fresh memory costs one fault per page, and on
// a virtual machine a fault of a 4 KiB page costs about fifty times the writing of the page. A
// call that returns tens of megabytes of points spends most of its time there unless its
// buffers ask the system for large pages before they are first written.
#pragma once

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <memory>
#include <vector>

namespace isocontour::detail {

// Buffers from this size up ask for large pages: below it, no large page fits inside one.
inline constexpr std::size_t kLargeBuffer = std::size_t(4) << 20;

// Asks the system to back the whole large pages inside [p, p + bytes) with large pages when they
// are first touched, for a buffer of kLargeBuffer bytes or more (a smaller one is left alone).
// Only advice: where the system has no such thing it does nothing.
void AdviseLargePages(void* p, std::size_t bytes) noexcept;

// The standard allocator, with large buffers advised before anything is written to them.
template <class T> struct PageAllocator {
    using value_type = T;
    PageAllocator() = default;
    template <class U> PageAllocator(const PageAllocator<U>&) noexcept {}
    T* allocate(std::size_t n) {
        T* p = std::allocator<T>().allocate(n);
        AdviseLargePages(p, n * sizeof(T));
        return p;
    }
    void deallocate(T* p, std::size_t n) noexcept { std::allocator<T>().deallocate(p, n); }
    template <class U> bool operator==(const PageAllocator<U>&) const noexcept { return true; }
};

// A vector of a call's working memory.
template <class T> using Buffer = std::vector<T, PageAllocator<T>>;

// v.reserve(n), with the new memory advised when it is large, before the elements already there
// are moved into it: for the caller's own vectors, before they are filled. An empty vector gets
// exactly n; one that grows again grows by half at least, as appends do.
template <class V> void ReserveLarge(V& v, std::size_t n) {
    if (n <= v.capacity()) return;
    if (v.capacity() > 0) n = std::max(n, v.capacity() + v.capacity() / 2);
    if (n * sizeof(typename V::value_type) < kLargeBuffer) return v.reserve(n);
    V grown;
    grown.reserve(n);
    AdviseLargePages(grown.data(), grown.capacity() * sizeof(typename V::value_type));
    grown.insert(grown.end(), std::make_move_iterator(v.begin()), std::make_move_iterator(v.end()));
    v.swap(grown);
}

// v.resize(n), its memory grown by ReserveLarge.
template <class V> void ResizeLarge(V& v, std::size_t n) {
    ReserveLarge(v, n);
    v.resize(n);
}

} // namespace isocontour::detail
