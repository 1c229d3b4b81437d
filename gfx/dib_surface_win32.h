// The back surface on Windows: a 32-bit top-down DIB section selected into a memory DC, so the
// frame's pixel calls write its memory directly and GDI text draws into the same pixels.
// 32-bit BI_RGB pixels are stored B, G, R, unused: read as a 32-bit word that is 0x00RRGGBB.
#pragma once

#include <cstdint>
#include <string>

#include "gfx/surface.h"
#include "platform/win32.h"

namespace gfx {

class DibSurface {
  public:
    DibSurface() = default;
    ~DibSurface();
    DibSurface(const DibSurface&) = delete;
    DibSurface& operator=(const DibSurface&) = delete;

    // Creates the memory DC, the width x height DIB section (all zero) and the text font.
    // fontFile, when given, is a font file added (for this process only) to the faces the
    // text font is chosen from, for as long as the surface lives. Returns false with one line
    // in error when any of them cannot be made, or Windows cannot load the font file.
    bool Create(int width, int height, std::string& error, const char* fontFile = nullptr);

    // The pixels as a surface (pitch is width * 4: 32-bit rows need no padding).
    Surface* View() { return &surface_; }
    // The memory DC holding the DIB, for presenting it.
    HDC Dc() const { return dc_; }

    // TextOutA with the top-left corner of the text cell at (x, y), transparent background,
    // colour in 0x00RRGGBB. Waits for GDI to finish, so the pixels are final on return.
    void Text(int x, int y, const char* text, std::uint32_t colour);

  private:
    std::string fontFile_; // added by Create, removed by the destructor
    HDC dc_ = nullptr;
    HBITMAP dib_ = nullptr;
    HGDIOBJ oldBitmap_ = nullptr;
    HFONT font_ = nullptr;
    HGDIOBJ oldFont_ = nullptr;
    Surface surface_;
};

// 0x00RRGGBB to GDI's COLORREF (0x00BBGGRR).
constexpr std::uint32_t ToColorref(std::uint32_t rgb) {
    return ((rgb & 0xFFu) << 16) | (rgb & 0xFF00u) | ((rgb >> 16) & 0xFFu);
}

// The text font: a fixed-pitch face about 15 px high (the em size), antialiased. Courier New,
// or where Windows lacks it (wine with only the system's fonts) Nimbus Mono PS, a Courier of
// the same design and metrics; failing both, the face GDI's mapper picks for a fixed-pitch
// modern font. (DejaVu Sans Mono's dotted zero reads as an 8 to OCR at this size through GDI.)
inline constexpr int kTextEmPixels = 15;
inline constexpr const char* kTextFaces[] = {"Courier New", "Nimbus Mono PS"};

} // namespace gfx
