// Text from the command line or the file system, made fit for a one-line message: control
// characters (a newline in a file name, say) are written as escapes.
#pragma once

#include <string>
#include <string_view>

// Each byte below 0x20 and 0x7F becomes \n, \r, \t or \xNN; every other byte, backslashes
// (a Windows path's separators) and UTF-8 included, stays as it is.
std::string Printable(std::string_view text);
