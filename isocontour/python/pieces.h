// The pieces of a grid contoured window by window, handed to Python: the library's LinePieces and
// PolygonPieces (float or double) with what their finish needs, joined and finished through the
// library, and pickled as dicts of numpy arrays so that they cross process boundaries.
#pragma once

#include "isocontour/isocontour.h"
#include "python/results.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstddef>
#include <variant>

namespace isocontour::python {

namespace py = pybind11;

// The lines of one or more windows (see the LinePieces docstring).
struct LinePiecesResult {
    std::variant<LinePieces<float>, LinePieces<double>> pieces;
    py::array levels;     // the call's levels in the values' type, for the finished Lines
    bool normals = false; // whether the call asked for normals (Lines.normals None or not)

    std::size_t LineCount() const;
    std::size_t PieceCount() const;
    std::size_t Bytes() const;
    LinePiecesResult Whole() const;  // the whole lines only
    LinePiecesResult Pieces() const; // the pieces only
    py::dict State() const;
    static LinePiecesResult FromState(const py::dict& state);
};

// The filled bands of one or more windows (see the PolygonPieces docstring).
struct PolygonPiecesResult {
    std::variant<PolygonPieces<float>, PolygonPieces<double>> pieces;

    std::size_t RingCount() const;
    std::size_t PieceCount() const;
    std::size_t Bytes() const;
    PolygonPiecesResult Whole() const;  // the whole rings only
    PolygonPiecesResult Pieces() const; // the pieces and the windows' cells only
    py::dict State() const;
    static PolygonPiecesResult FromState(const py::dict& state);
};

// The library's joins of parts of one grid, levels and options (isocontour.Error when they
// disagree), and its finishes (isocontour.Error while pieces remain). The interpreter lock is
// released while the library works.
LinePiecesResult JoinLinePieces(const py::sequence& parts);
PolygonPiecesResult JoinPolygonPieces(const py::sequence& parts);
// Lines as the whole grid's call returns them (normals None unless asked for).
LinesResult FinishLinePieces(const LinePiecesResult& joined);
BandsResult FinishPolygonPieces(const PolygonPiecesResult& joined);

} // namespace isocontour::python
