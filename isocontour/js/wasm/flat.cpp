// The flat calls: the options become the library's, the grid a row-major view, and the 64-bit
// offsets 32-bit ones for the JavaScript side.
#include "flat.h"

namespace isocontour::js {
namespace {

template <class T>
Options<T> MakeOptions(std::ptrdiff_t w, std::ptrdiff_t h, const FlatOptions<T>& f,
                       FlatResult<T>& out) {
    Options<T> o;
    switch (f.coords) {
    case Coords::Grid:
        break;
    case Coords::Rectilinear:
        o.x = {f.x, w, 1, 1, 0, std::size_t(w)}; // one per column
        o.y = {f.y, h, 1, 1, 0, std::size_t(h)}; // one per row
        break;
    case Coords::Curvilinear:
        o.x = RowMajor(f.x, h, w);
        o.y = RowMajor(f.y, h, w);
        break;
    case Coords::OriginStep:
        out.xs.resize(std::size_t(w));
        out.ys.resize(std::size_t(h));
        for (std::ptrdiff_t i = 0; i < w; ++i)
            out.xs[std::size_t(i)] = T(f.x0 + f.stepX * double(i));
        for (std::ptrdiff_t j = 0; j < h; ++j)
            out.ys[std::size_t(j)] = T(f.y0 + f.stepY * double(j));
        o.x = {out.xs.data(), w, 1, 1, 0, std::size_t(w)};
        o.y = {out.ys.data(), h, 1, 1, 0, std::size_t(h)};
        break;
    default:
        throw Error("unknown kind of coordinates");
    }
    if (f.mask) o.mask = RowMajor(f.mask, h, w);
    if (f.saddle < 0 || f.saddle > 2) throw Error("saddle must be 'above', 'below' or 'centre'");
    o.saddle = Saddle(f.saddle);
    if (f.atLevel < 0 || f.atLevel > 1) throw Error("atLevel must be 'below' or 'above'");
    if (f.interpolation < 0 || f.interpolation > 1)
        throw Error("interpolation must be 'linear' or 'log'");
    o.atLevel = AtLevel(f.atLevel);
    o.interpolation = Interpolation(f.interpolation);
    o.cornerMask = f.cornerMask;
    o.normals = f.normals;
    o.openBands = f.openBands;
    return o;
}

template <class T> void Levels(const double* levels, std::size_t count, FlatResult<T>& out) {
    out.levels.resize(count);
    for (std::size_t k = 0; k < count; ++k)
        out.levels[k] = T(levels[k]);
}

void Narrow(const std::vector<std::int64_t>& from, std::vector<std::uint32_t>& to) {
    to.resize(from.size());
    for (std::size_t k = 0; k < from.size(); ++k)
        to[k] = std::uint32_t(from[k]);
}

} // namespace

template <class T>
void FlatLines(const T* values, std::ptrdiff_t width, std::ptrdiff_t height, const double* levels,
               std::size_t count, const FlatOptions<T>& options, FlatResult<T>& out) {
    const Options<T> o = MakeOptions(width, height, options, out);
    Levels(levels, count, out);
    ContourLines(RowMajor(values, height, width), std::span<const T>(out.levels), o, out.lines,
                 out.work);
    Narrow(out.lines.offsets, out.offsets);
    Narrow(out.lines.levelOffsets, out.levelOffsets);
}

template <class T>
void FlatBands(const T* values, std::ptrdiff_t width, std::ptrdiff_t height, const double* levels,
               std::size_t count, const FlatOptions<T>& options, FlatResult<T>& out) {
    const Options<T> o = MakeOptions(width, height, options, out);
    Levels(levels, count, out);
    FilledContours(RowMajor(values, height, width), std::span<const T>(out.levels), o, out.bands,
                   out.work);
    Narrow(out.bands.ringOffsets, out.ringOffsets);
    Narrow(out.bands.polygonOffsets, out.polygonOffsets);
    Narrow(out.bands.bandOffsets, out.bandOffsets);
}

template void FlatLines(const float*, std::ptrdiff_t, std::ptrdiff_t, const double*, std::size_t,
                        const FlatOptions<float>&, FlatResult<float>&);
template void FlatLines(const double*, std::ptrdiff_t, std::ptrdiff_t, const double*, std::size_t,
                        const FlatOptions<double>&, FlatResult<double>&);
template void FlatBands(const float*, std::ptrdiff_t, std::ptrdiff_t, const double*, std::size_t,
                        const FlatOptions<float>&, FlatResult<float>&);
template void FlatBands(const double*, std::ptrdiff_t, std::ptrdiff_t, const double*, std::size_t,
                        const FlatOptions<double>&, FlatResult<double>&);

} // namespace isocontour::js
