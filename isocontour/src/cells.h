// The cells of marching squares: which edges a cell's lines cross, in which direction, and how
// a saddle's crossings pair up. Shared by the lines and the filled bands.
//
// Corners 0 .. 3 of cell (x, y) are (x, y), (x + 1, y), (x + 1, y + 1), (x, y + 1); edge e runs
// from corner e to corner e + 1 (mod 4): 0 bottom, 1 right, 2 top, 3 left. A case packs the
// corners' sides as two bit pairs read straight from the planes: bit 0 corner 0, bit 1 corner 1,
// bit 2 corner 3, bit 3 corner 2. Lines keep the higher values on their left, so a line enters
// a cell across an edge whose first corner is above and leaves across one whose second is.
#pragma once

#include <array>
#include <cstdint>

namespace isocontour::detail {

constexpr bool CornerAbove(unsigned k, int corner) {
    constexpr int kBit[4] = {0, 1, 3, 2};
    return (k >> kBit[corner]) & 1u;
}

// The saddles: corners 0 and 2 above, or 1 and 3.
constexpr bool IsSaddle(unsigned k) { return k == 0b1001u || k == 0b0110u; }

// How a saddle pairs its crossings: joining its two above corners through the cell (each line
// turns to cut off a corner not above), or its two corners not above.
enum Join : int { kJoinAbove = 0, kJoinBelow = 1 };

struct CaseTable {
    // exit[join][k][e]: the edge a line entering across e leaves by, or -1; entry the reverse.
    std::int8_t exit[2][16][4];
    std::int8_t entry[2][16][4];
    std::uint8_t entries[16]; // bit e set when a line enters across edge e
    std::uint8_t crossed[16]; // bit e set when edge e's corners lie on opposite sides
};

constexpr CaseTable MakeCaseTable() {
    CaseTable t{};
    for (int join = 0; join < 2; ++join)
        for (unsigned k = 0; k < 16; ++k)
            for (int e = 0; e < 4; ++e)
                t.exit[join][k][e] = t.entry[join][k][e] = -1;
    for (unsigned k = 0; k < 16; ++k) {
        int in[2] = {-1, -1}, out[2] = {-1, -1}, nin = 0, nout = 0;
        t.entries[k] = t.crossed[k] = 0;
        for (int e = 0; e < 4; ++e) {
            const bool a = CornerAbove(k, e), b = CornerAbove(k, (e + 1) & 3);
            if (a && !b) {
                in[nin++] = e;
                t.entries[k] |= std::uint8_t(1u << e);
            }
            if (!a && b) out[nout++] = e;
            if (a != b) t.crossed[k] |= std::uint8_t(1u << e);
        }
        for (int join = 0; join < 2; ++join) {
            for (int n = 0; n < nin; ++n) {
                const int e = in[n];
                // A saddle's line turns left (joining above) or right; otherwise the one exit.
                const int x =
                    IsSaddle(k) ? (join == kJoinAbove ? (e + 1) & 3 : (e + 3) & 3) : out[0];
                t.exit[join][k][e] = std::int8_t(x);
                t.entry[join][k][x] = std::int8_t(e);
            }
        }
        (void)nout;
    }
    return t;
}

inline constexpr CaseTable kCases = MakeCaseTable();

// Edge e of cell (x, y) is the horizontal edge H(x, y) or H(x, y + 1) (nodes (i, j), (i + 1, j))
// or the vertical edge V(x + 1, y) or V(x, y) (nodes (i, j), (i, j + 1)).
constexpr bool Horizontal(int e) { return (e & 1) == 0; }
constexpr int EdgeDx(int e) { return e == 1 ? 1 : 0; }
constexpr int EdgeDy(int e) { return e == 2 ? 1 : 0; }
// The cell across edge e, which meets it as its edge (e + 2) mod 4.
constexpr int StepX(int e) { return e == 1 ? 1 : e == 3 ? -1 : 0; }
constexpr int StepY(int e) { return e == 2 ? 1 : e == 0 ? -1 : 0; }

} // namespace isocontour::detail
