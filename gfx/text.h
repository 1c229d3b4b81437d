// Text for TavGFX::TxtOutGDI: the printable ASCII glyphs of one monospaced TrueType font,
// rasterised once with FreeType (when the font is loaded, or at build time into a table that is
// compiled in), then blended onto a surface by their coverage in the text colour (the
// background shows through).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "gfx/surface.h"

namespace gfx {

// The font the class draws with, and the environment variable that overrides its path.
inline constexpr const char* kDefaultFontPath =
    "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";
inline constexpr const char* kFontPathVariable = "GRADIENT_FONT";
inline constexpr int kFontPixelSize = 15;

// One rasterised glyph: where its bitmap starts in the coverage bytes, its size and its place.
struct Glyph {
    std::size_t offset = 0; // into the coverage bytes
    int width = 0;
    int rows = 0;
    int left = 0; // from the pen position to the first column
    int top = 0;  // from the baseline up to the first row
    int advance = 0;
};

inline constexpr int kFirstGlyph = 32; // ' '
inline constexpr int kLastGlyph = 126; // '~'
inline constexpr int kGlyphCount = kLastGlyph - kFirstGlyph + 1;

// A rasterised font as plain data: what Load produces, and what the build writes out as C++
// for builds without FreeType (the web's).
struct GlyphTable {
    int ascent = 0;
    int descent = 0;
    int advance = 0;
    const Glyph* glyphs = nullptr; // kGlyphCount of them, for ' ' to '~'
    const std::uint8_t* coverage = nullptr;
    std::size_t coverageSize = 0;
};

class TextRenderer {
  public:
    // Loads the font and rasterises the glyphs. Returns false and sets error to one line
    // naming the file when the font cannot be loaded.
    bool Load(const char* path, int pixelSize, std::string& error);
    // Takes the glyphs from a table (copied, so the table may go away).
    void Use(const GlyphTable& table);
    // The glyphs as a table, valid while the renderer lives and loads nothing else.
    GlyphTable Table() const;

    // Draws text with the top-left corner of its box at (x, y): the first line's ascent lies
    // below y. Clipped to the surface. Characters outside printable ASCII take the width of a
    // space and draw nothing; the text is one line ('\n' is not interpreted).
    void Draw(const Surface& surface, int x, int y, const char* text, std::uint32_t colour) const;

    // Height of the text box (ascent + descent) and the advance of one character, in pixels.
    int LineHeight() const { return ascent_ + descent_; }
    int Advance() const { return advance_; }

  private:
    static constexpr int kFirst = kFirstGlyph;
    static constexpr int kLast = kLastGlyph;

    std::array<Glyph, kGlyphCount> glyphs_{};
    std::vector<std::uint8_t> coverage_; // all glyph bitmaps, one byte per pixel, 0..255
    int ascent_ = 0;
    int descent_ = 0;
    int advance_ = 0;
};

} // namespace gfx
