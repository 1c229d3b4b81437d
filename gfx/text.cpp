// FreeType rasterisation of the glyph cache and the coverage blend (see text.h).
#include "gfx/text.h"

#include <algorithm>
#include <cstring>

#include "gfx/surface_ops.h"

#include <ft2build.h>
#include FT_FREETYPE_H

namespace gfx {
namespace {

// The FreeType library and face live only while the glyphs are rasterised.
struct FontHandles {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ~FontHandles() {
        if (face != nullptr) FT_Done_Face(face);
        if (library != nullptr) FT_Done_FreeType(library);
    }
};

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

bool TextRenderer::Load(const char* path, int pixelSize, std::string& error) {
    FontHandles ft;
    if (FT_Init_FreeType(&ft.library) != 0) {
        error = "cannot start the FreeType library";
        return false;
    }
    if (path == nullptr || FT_New_Face(ft.library, path, 0, &ft.face) != 0) {
        error = std::string("cannot load the font ") + (path != nullptr ? path : "(none)");
        return false;
    }
    if (FT_Set_Pixel_Sizes(ft.face, 0, static_cast<FT_UInt>(pixelSize)) != 0) {
        error = std::string("cannot size the font ") + path;
        return false;
    }
    const FT_Size_Metrics& m = ft.face->size->metrics;
    ascent_ = static_cast<int>((m.ascender + 63) >> 6);
    descent_ = static_cast<int>((-m.descender + 63) >> 6);
    advance_ = static_cast<int>((m.max_advance + 32) >> 6);

    coverage_.clear();
    for (int c = kFirst; c <= kLast; ++c) {
        Glyph& g = glyphs_[c - kFirst];
        g = Glyph{};
        g.advance = advance_;
        if (FT_Load_Char(ft.face, static_cast<FT_ULong>(c), FT_LOAD_RENDER) != 0) continue;
        const FT_GlyphSlot slot = ft.face->glyph;
        const FT_Bitmap& bm = slot->bitmap;
        g.advance = static_cast<int>((slot->advance.x + 32) >> 6);
        if (bm.pixel_mode != FT_PIXEL_MODE_GRAY || bm.width == 0 || bm.rows == 0) continue;
        g.width = static_cast<int>(bm.width);
        g.rows = static_cast<int>(bm.rows);
        g.left = slot->bitmap_left;
        g.top = slot->bitmap_top;
        g.offset = coverage_.size();
        coverage_.resize(coverage_.size() + static_cast<std::size_t>(g.width) * g.rows);
        for (int r = 0; r < g.rows; ++r)
            std::memcpy(&coverage_[g.offset + static_cast<std::size_t>(r) * g.width],
                        bm.buffer + static_cast<std::ptrdiff_t>(r) * bm.pitch,
                        static_cast<std::size_t>(g.width));
    }
    return true;
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
