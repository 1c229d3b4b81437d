// png_rewrite: decodes each PNG and writes its pixels again with the renderer's PNG writer, so
// that one platform's writer can be held to the bytes the other platform's wrote for the same
// frame. Usage: png_rewrite <in.png> <out.png> [<in.png> <out.png> ...]. Exits 0 when every
// pair was rewritten, else 1 after one line on stderr.
#include <cstdio>
#include <string>
#include <vector>

#include "app/render/png_writer.h"

#define STBI_ONLY_PNG
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>

namespace {

bool Rewrite(const char* in, const char* out, std::string& error) {
    int width = 0, height = 0, channels = 0;
    unsigned char* rgb = stbi_load(in, &width, &height, &channels, 3);
    if (rgb == nullptr) {
        error = std::string("cannot decode ") + in + ": " + stbi_failure_reason();
        return false;
    }
    std::vector<std::uint32_t> words(std::size_t(width) * std::size_t(height));
    for (std::size_t i = 0; i < words.size(); ++i)
        words[i] = std::uint32_t(rgb[3 * i]) << 16 | std::uint32_t(rgb[3 * i + 1]) << 8 |
                   rgb[3 * i + 2];
    stbi_image_free(rgb);
    std::FILE* f = std::fopen(out, "wb");
    if (f == nullptr) {
        error = std::string("cannot write ") + out;
        return false;
    }
    bool ok = WritePng(f, FrameView{words.data(), width, height, width}, error);
    ok = std::fclose(f) == 0 && ok;
    if (!ok) error = std::string("cannot write ") + out + ": " + error;
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc % 2 == 0) {
        std::fprintf(stderr, "usage: png_rewrite <in.png> <out.png> [<in.png> <out.png> ...]\n");
        return 2;
    }
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string error;
        if (!Rewrite(argv[i], argv[i + 1], error)) {
            std::fprintf(stderr, "png_rewrite: %s\n", error.c_str());
            return 1;
        }
    }
    return 0;
}
