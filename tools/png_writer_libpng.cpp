#include <csetjmp>
#include <vector>

#include <png.h>

#include "tools/png_writer.h"

bool WritePng(std::FILE* file, const FrameView& frame, std::string& error) {
    if (!frame.pixels || frame.width <= 0 || frame.height <= 0) {
        error = "no frame to write";
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        error = "cannot start the PNG encoder";
        return false;
    }
    // One row of RGB bytes, reused; declared before setjmp so a longjmp leaves it intact.
    std::vector<png_byte> row(std::size_t(frame.width) * 3);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        error = "the PNG encoder failed";
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, png_uint_32(frame.width), png_uint_32(frame.height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < frame.height; ++y) {
        const std::uint32_t* src = frame.pixels + std::size_t(y) * std::size_t(frame.pitch);
        for (int x = 0; x < frame.width; ++x) {
            row[3 * x + 0] = png_byte(src[x] >> 16);
            row[3 * x + 1] = png_byte(src[x] >> 8);
            row[3 * x + 2] = png_byte(src[x]);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}
