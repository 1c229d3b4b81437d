// The rows' classification on x86-64: AVX2 where the processor has it (asked once, at the first
// call; classify_rows_avx2.cpp), else SSE2, which every x86-64 processor has. The same bits as
// the portable version (classify_rows.h).
#include "classify_rows.h"

#include "classify_avx2.h"
#include "classify_simd.h"
#include "value_types.h"

namespace isocontour::detail {
namespace {

template <bool kOrEqual, class T>
[[gnu::flatten]] void RowSse2(const T* r, std::ptrdiff_t nx, T level, std::uint32_t* above,
                              std::uint32_t* unordered) {
    RowBody<kOrEqual, false>(r, nx, level, above, unordered);
}
template <bool kOrEqual, class T>
[[gnu::flatten]] void LevelsSse2(const T* r, std::ptrdiff_t nx, std::span<const T> levels,
                                 std::uint32_t* above, std::ptrdiff_t levelStride,
                                 std::uint32_t* unusable) {
    LevelsBody<kOrEqual, false>(r, nx, levels, above, levelStride, unusable);
}

// Whether this processor has AVX2 (and the system saves its registers), asked once.
bool HasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}

} // namespace
template <bool kOrEqual, class T>
void ContiguousRow(const T* r, std::ptrdiff_t nx, T level, std::uint32_t* above,
                   std::uint32_t* unordered) {
    if (HasAvx2())
        avx2::Row<kOrEqual>(r, nx, level, above, unordered);
    else
        RowSse2<kOrEqual>(r, nx, level, above, unordered);
}

template <bool kOrEqual, class T>
void ContiguousRowLevels(const T* r, std::ptrdiff_t nx, std::span<const T> levels,
                         std::uint32_t* above, std::ptrdiff_t levelStride,
                         std::uint32_t* unusable) {
    if (HasAvx2())
        avx2::Levels<kOrEqual>(r, nx, levels, above, levelStride, unusable);
    else
        LevelsSse2<kOrEqual>(r, nx, levels, above, levelStride, unusable);
}

template <bool kOrEqual, class T>
void ContiguousRowNarrow(const T* r, std::ptrdiff_t nx, T level, std::uint32_t* above,
                         std::uint32_t* unordered) {
    RowSse2<kOrEqual>(r, nx, level, above, unordered);
}

template <bool kOrEqual, class T>
void ContiguousRowLevelsNarrow(const T* r, std::ptrdiff_t nx, std::span<const T> levels,
                               std::uint32_t* above, std::ptrdiff_t levelStride,
                               std::uint32_t* unusable) {
    LevelsSse2<kOrEqual>(r, nx, levels, above, levelStride, unusable);
}

ISOCONTOUR_FOR_EACH_VALUE_TYPE(ISOCONTOUR_ROWS)

} // namespace isocontour::detail
