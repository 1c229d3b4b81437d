// What every platform's TavGFX checks before it makes anything.
#pragma once

#include <cstdint>

namespace gfx {

// Null when the constructor's arguments describe a picture the class can make; otherwise one
// line saying why not.
const char* ConstructionError(std::uint16_t screenX, std::uint16_t screenY, std::uint8_t bpp,
                              std::uint16_t pages);

} // namespace gfx
