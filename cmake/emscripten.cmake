# The web build's toolchain: Debian's emscripten. Its JavaScript optimiser, run by the link, needs
# Debian's node modules (acorn) on NODE_PATH when the node on the PATH is not Debian's own, so
# every link runs with it set, whether the build was started through the preset or not.
include(/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)
set(CMAKE_CXX_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs)
