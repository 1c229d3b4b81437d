// The coverage blend of the glyph cache onto a surface, and the cache as a table (see text.h).
#include "gfx/text.h"

#include <algorithm>

#include "gfx/surface_ops.h"

namespace gfx {
namespace {

std::uint32_t Blend(std::uint32_t dst, std::uint32_t colour, unsigned a) {
    if (a == 255) return colour & 0xFFFFFFu;
    const unsigned inv = 255 - a;
    std::uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const unsigned c = (colour >> shift) & 0xFFu;
        const unsigned d = (dst >> shift) & 0xFFu;
        out |= ((c * a + d * inv + 127) / 255) << shift;
    }
    return out;
}

} // namespace

void TextRenderer::Use(const GlyphTable& table) {
    ascent_ = table.ascent;
    descent_ = table.descent;
    advance_ = table.advance;
    std::copy(table.glyphs, table.glyphs + kGlyphCount, glyphs_.begin());
    coverage_.assign(table.coverage, table.coverage + table.coverageSize);
}

GlyphTable TextRenderer::Table() const {
    return GlyphTable{ascent_,        descent_,         advance_,
                      glyphs_.data(), coverage_.data(), coverage_.size()};
}

void TextRenderer::Draw(const Surface& s, int x, int y, const char* text,
                        std::uint32_t colour) const {
    if (text == nullptr || !SurfaceUsable(s)) return;
    auto* base = reinterpret_cast<std::uint8_t*>(s.pixels);
    // Pen positions are kept in long long so that far-off coordinates cannot overflow.
    long long pen = x;
    const long long baseline = static_cast<long long>(y) + ascent_;
    for (const char* p = text; *p != '\0'; ++p) {
        // Once the pen is a whole cell beyond the right edge, no later glyph can show.
        if (pen > static_cast<long long>(s.width) + advance_) break;
        const auto c = static_cast<unsigned char>(*p);
        if (c < kFirst || c > kLast) {
            pen += advance_;
            continue;
        }
        const Glyph& g = glyphs_[c - kFirst];
        const long long gx = pen + g.left;
        const long long gy = baseline - g.top;
        pen += g.advance;
        const long long c0 = std::max(0LL, -gx);
        const long long c1 = std::min<long long>(g.width, s.width - gx);
        const long long r0 = std::max(0LL, -gy);
        const long long r1 = std::min<long long>(g.rows, s.height - gy);
        for (long long r = r0; r < r1; ++r) {
            const std::uint8_t* cov = &coverage_[g.offset + static_cast<std::size_t>(r) * g.width];
            auto* row = reinterpret_cast<std::uint32_t*>(base + (gy + r) * s.pitch);
            for (long long col = c0; col < c1; ++col) {
                const unsigned a = cov[col];
                if (a != 0) row[gx + col] = Blend(row[gx + col], colour, a);
            }
        }
    }
}

} // namespace gfx
