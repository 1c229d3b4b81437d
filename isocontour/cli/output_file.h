// Output files that appear whole or not at all: written to a temporary beside the target,
// then renamed over it.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

// Calls write with an open temporary file; on success (write returns true and every byte
// reached the disk) renames it to path. On any failure removes the temporary, leaves path as it
// was and sets error to one line. A path that names a device or a pipe (/dev/null, /dev/stdout,
// a FIFO) is written straight through: a rename would replace it with a plain file.
bool WriteFileAtomically(const std::string& path, const std::function<bool(std::FILE*)>& write,
                         std::string& error);
