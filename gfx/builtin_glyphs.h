// The text font's glyphs rasterised at build time, for builds that have no FreeType to load
// the font with (the web's): the same glyphs TextRenderer::Load gives on the build machine.
#pragma once

#include "gfx/text.h"

namespace gfx {

// kDefaultFontPath at kFontPixelSize, written by gfx/glyph_table.
extern const GlyphTable kBuiltInGlyphs;

} // namespace gfx
