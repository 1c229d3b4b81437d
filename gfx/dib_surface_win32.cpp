// The DIB section surface and its GDI text (see dib_surface_win32.h).
#include "gfx/dib_surface_win32.h"

#include <cstring>

namespace gfx {

namespace {

HFONT CreateFixedFont(const char* face) {
    return CreateFontA(-kTextEmPixels, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET,
                       OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                       FIXED_PITCH | FF_MODERN, face);
}

// The first of kTextFaces that the system really has (the mapper answers every request with
// some face, so the face it chose is read back), else the mapper's own fixed-pitch choice.
HFONT CreateTextFont(HDC dc) {
    for (const char* face : kTextFaces) {
        HFONT font = CreateFixedFont(face);
        if (font == nullptr) continue;
        HGDIOBJ old = SelectObject(dc, font);
        char chosen[LF_FACESIZE] = {};
        GetTextFaceA(dc, LF_FACESIZE, chosen);
        SelectObject(dc, old);
        if (lstrcmpiA(chosen, face) == 0) return font;
        DeleteObject(font);
    }
    return CreateFixedFont("");
}

} // namespace

DibSurface::~DibSurface() {
    if (dc_ != nullptr) {
        if (oldFont_ != nullptr) SelectObject(dc_, oldFont_);
        if (oldBitmap_ != nullptr) SelectObject(dc_, oldBitmap_);
        DeleteDC(dc_);
    }
    if (font_ != nullptr) DeleteObject(font_);
    if (dib_ != nullptr) DeleteObject(dib_);
    if (!fontFile_.empty()) RemoveFontResourceExA(fontFile_.c_str(), FR_PRIVATE, nullptr);
}

bool DibSurface::Create(int width, int height, std::string& error, const char* fontFile) {
    if (fontFile != nullptr) {
        if (AddFontResourceExA(fontFile, FR_PRIVATE, nullptr) == 0) {
            error = std::string("cannot load the font ") + fontFile;
            return false;
        }
        fontFile_ = fontFile;
    }
    dc_ = CreateCompatibleDC(nullptr);
    if (dc_ == nullptr) {
        error = "cannot create a memory device context";
        return false;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // negative: rows top down, as the surface expects
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    dib_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (dib_ == nullptr || bits == nullptr) {
        error = "cannot create a 32-bit DIB section";
        return false;
    }
    oldBitmap_ = SelectObject(dc_, dib_);
    font_ = CreateTextFont(dc_);
    if (font_ == nullptr) {
        error = "cannot create a fixed-pitch GDI font";
        return false;
    }
    oldFont_ = SelectObject(dc_, font_);
    SetBkMode(dc_, TRANSPARENT);
    SetTextAlign(dc_, TA_TOP | TA_LEFT | TA_NOUPDATECP);
    surface_ = Surface{static_cast<std::uint32_t*>(bits), width, height, width * 4};
    return true;
}

void DibSurface::Text(int x, int y, const char* text, std::uint32_t colour) {
    if (dc_ == nullptr || text == nullptr) return;
    SetTextColor(dc_, ToColorref(colour));
    TextOutA(dc_, x, y, text, int(std::strlen(text)));
    // GDI may batch the call; the pixels are read directly right after.
    GdiFlush();
}

} // namespace gfx
