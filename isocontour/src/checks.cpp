#include "checks.h"
#include "value_types.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace isocontour::detail {
namespace {

[[noreturn]] void Refuse(const std::string& message) { throw Error(message); }

// |a| * b for b >= 0, or false when it overflows.
bool Product(std::ptrdiff_t a, std::ptrdiff_t b, std::ptrdiff_t& out) {
    return !__builtin_mul_overflow(a, b, &out);
}

template <class T> void CheckFinite(View<T> c, const char* what) {
    for (std::ptrdiff_t j = 0; j < c.ny; ++j)
        for (std::ptrdiff_t i = 0; i < c.nx; ++i)
            if (!std::isfinite(c(i, j)))
                Refuse(std::string(what) + " coordinates must be finite; (" + std::to_string(i) +
                       ", " + std::to_string(j) + ") is not");
}

std::string Shape(std::ptrdiff_t nx, std::ptrdiff_t ny) {
    return std::to_string(nx) + " x " + std::to_string(ny);
}

} // namespace

template <class V> void CheckView(const V& view, const char* what) {
    const std::string name(what);
    if (view.nx < 0 || view.ny < 0)
        Refuse(name + " has negative extents " + Shape(view.nx, view.ny));
    if (view.nx == 0 || view.ny == 0) return;
    if (view.data == nullptr) Refuse(name + " has no data but extents " + Shape(view.nx, view.ny));
    // The lowest and highest element offsets any node has.
    std::ptrdiff_t spanX = 0, spanY = 0;
    if (!Product(view.nx - 1, view.strideX, spanX) || !Product(view.ny - 1, view.strideY, spanY))
        Refuse(name + "'s strides overflow the address range");
    const std::ptrdiff_t lo =
        std::min<std::ptrdiff_t>(spanX, 0) + std::min<std::ptrdiff_t>(spanY, 0);
    std::ptrdiff_t hi = 0;
    if (__builtin_add_overflow(std::max<std::ptrdiff_t>(spanX, 0),
                               std::max<std::ptrdiff_t>(spanY, 0), &hi))
        Refuse(name + "'s strides overflow the address range");
    if (view.size != 0 && (lo < 0 || std::size_t(hi) >= view.size))
        Refuse(name + "'s strides (" + std::to_string(view.strideX) + ", " +
               std::to_string(view.strideY) + ") read outside its " + std::to_string(view.size) +
               " elements");
}

template <class T> CoordKind CheckArguments(View<T> values, const Options<T>& options) {
    CheckView(values, "values");
    if (options.threads < 0)
        Refuse("threads must be 0 (one per core) or more, got " + std::to_string(options.threads));
    const std::ptrdiff_t nx = values.nx, ny = values.ny;
    if (options.mask.Present()) {
        CheckView(options.mask, "mask");
        if (options.mask.nx != nx || options.mask.ny != ny)
            Refuse("mask is " + Shape(options.mask.nx, options.mask.ny) + " but values are " +
                   Shape(nx, ny));
    }
    const View<T>&x = options.x, &y = options.y;
    if (x.Present() != y.Present()) Refuse("x and y coordinates must be given together");
    if (!x.Present()) return CoordKind::Grid;
    CheckView(x, "x");
    CheckView(y, "y");
    CoordKind kind;
    if (x.nx == nx && x.ny == ny && y.nx == nx && y.ny == ny) {
        kind = CoordKind::Curvilinear;
    } else if (x.nx == nx && x.ny == 1 && y.nx == ny && y.ny == 1) {
        kind = CoordKind::Rectilinear;
    } else {
        Refuse("x is " + Shape(x.nx, x.ny) + " and y " + Shape(y.nx, y.ny) + ": for values of " +
               Shape(nx, ny) + " they must be " + Shape(nx, 1) + " and " + Shape(ny, 1) +
               ", or both " + Shape(nx, ny));
    }
    CheckFinite(x, "x");
    CheckFinite(y, "y");
    return kind;
}

template <class T> void CheckLevels(std::span<const T> levels) {
    for (std::size_t k = 0; k < levels.size(); ++k)
        if (std::isnan(levels[k]))
            Refuse(levels.size() == 1 ? std::string("the level is NaN")
                                      : "level " + std::to_string(k) + " is NaN");
}

template <class T>
void CheckInterpolation(View<T> values, std::span<const T> levels, const Options<T>& options) {
    if (options.interpolation != Interpolation::Log) return;
    for (std::size_t k = 0; k < levels.size(); ++k)
        if (!(levels[k] > T(0)))
            Refuse("log interpolation needs levels above 0; level " + std::to_string(k) + " is " +
                   std::to_string(levels[k]));
    const View<std::uint8_t>& mask = options.mask;
    for (std::ptrdiff_t j = 0; j < values.ny; ++j)
        for (std::ptrdiff_t i = 0; i < values.nx; ++i) {
            const T v = values(i, j);
            if (!(v <= T(0)) || (mask.Present() && mask(i, j) != 0)) continue;
            Refuse("log interpolation needs values above 0; (" + std::to_string(i) + ", " +
                   std::to_string(j) + ") is " + std::to_string(v));
        }
}

void Broken(const char* message) {
    throw Error(std::string("internal error, please report: ") + message);
}

template void CheckView(const View<std::uint8_t>&, const char*);
#define ISOCONTOUR_CHECKS(T)                                                                       \
    template void CheckView(const View<T>&, const char*);                                          \
    template CoordKind CheckArguments(View<T>, const Options<T>&);                                 \
    template void CheckLevels(std::span<const T>);                                                 \
    template void CheckInterpolation(View<T>, std::span<const T>, const Options<T>&);
ISOCONTOUR_FOR_EACH_VALUE_TYPE(ISOCONTOUR_CHECKS)
#undef ISOCONTOUR_CHECKS

} // namespace isocontour::detail
