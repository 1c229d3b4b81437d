// The glyphs rasterised with FreeType from a font file (see text.h).
#include "gfx/text.h"

#include <cstring>

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

} // namespace gfx
