// The fuzz targets' check of windows: a grid contoured as up to four windows (cut where the input
// says, each view cut with its halo), their parts joined in an order the input picks, and
// finished, must be exactly the whole grid's call.
#pragma once

#include <algorithm>
#include <cstddef>
#include <span>
#include <utility>
#include <vector>

#include "isocontour/isocontour.h"

namespace fuzz {

// The views of window w cut from the grid's views (values, mask, coordinates).
template <class T> struct WindowViews {
    isocontour::View<T> values;
    isocontour::Options<T> options;
};

template <class T>
WindowViews<T> Cut(isocontour::View<T> v, const isocontour::Options<T>& o, isocontour::Window& w) {
    w.x0 = std::max<std::ptrdiff_t>(w.cellX0 - 1, 0);
    w.y0 = std::max<std::ptrdiff_t>(w.cellY0 - 1, 0);
    const std::ptrdiff_t nx = std::min(w.cellX1 + 1, v.nx - 1) - w.x0 + 1;
    const std::ptrdiff_t ny = std::min(w.cellY1 + 1, v.ny - 1) - w.y0 + 1;
    const auto cut = [&](auto view) {
        auto c = view;
        c.data = &view(w.x0, w.y0);
        c.nx = nx, c.ny = ny, c.size = 0;
        return c;
    };
    WindowViews<T> out{cut(v), o};
    if (o.mask.Present()) out.options.mask = cut(o.mask);
    if (o.x.Present() && o.x.ny == v.ny && v.ny > 1) { // curvilinear
        out.options.x = cut(o.x);
        out.options.y = cut(o.y);
    } else if (o.x.Present()) { // rectilinear: one coordinate per column and row
        out.options.x = {&o.x(w.x0, 0), nx, 1, o.x.strideX, o.x.strideY, 0};
        out.options.y = {&o.y(w.y0, 0), ny, 1, o.y.strideX, o.y.strideY, 0};
    }
    return out;
}

// Joins parts in a tree (pairs of neighbours) or one after another into the first, as `tree`
// says.
template <class P, class Join> P JoinAll(std::vector<P> parts, bool tree, Join&& join) {
    while (parts.size() > 1) {
        std::vector<P> next;
        if (tree) {
            for (std::size_t k = 0; k < parts.size(); k += 2)
                next.push_back(k + 1 < parts.size() ? join(std::span<const P>(parts).subspan(k, 2))
                                                    : std::move(parts[k]));
        } else {
            next.push_back(join(std::span<const P>(parts).first(2)));
            for (std::size_t k = 2; k < parts.size(); ++k)
                next.push_back(std::move(parts[k]));
        }
        parts = std::move(next);
    }
    return std::move(parts[0]);
}

// The grid's cells cut at column cx and row cy (0 or past the end: no cut), window by window.
template <class T, class Call>
auto ByWindows(isocontour::View<T> v, const isocontour::Options<T>& o, std::ptrdiff_t cx,
               std::ptrdiff_t cy, Call&& call) {
    std::vector<std::ptrdiff_t> xs{0}, ys{0};
    if (cx > 0 && cx < v.nx - 1) xs.push_back(cx);
    if (cy > 0 && cy < v.ny - 1) ys.push_back(cy);
    xs.push_back(v.nx - 1);
    ys.push_back(v.ny - 1);
    using Part = decltype(call(v, isocontour::Window{}, o));
    std::vector<Part> parts;
    for (std::size_t b = 0; b + 1 < ys.size(); ++b)
        for (std::size_t a = 0; a + 1 < xs.size(); ++a) {
            isocontour::Window w{0, 0, v.nx, v.ny, xs[a], ys[b], xs[a + 1], ys[b + 1]};
            const WindowViews<T> cut = Cut(v, o, w);
            parts.push_back(call(cut.values, w, cut.options));
        }
    return parts;
}

} // namespace fuzz
