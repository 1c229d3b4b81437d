// Builds without libpng (the Windows one) write segments but no pictures.
#include "tools/png_writer.h"

bool WritePng(std::FILE*, const FrameView&, std::string& error) {
    error = "this build writes no PNG files (it has no PNG encoder)";
    return false;
}
