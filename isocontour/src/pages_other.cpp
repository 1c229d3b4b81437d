// Large pages where the library asks for none (Windows gives them only to privileged processes;
// the web's memory is one block): buffers keep the system's pages.
#include "pages.h"

namespace isocontour::detail {

void AdviseLargePages(void*, std::size_t) noexcept {}

} // namespace isocontour::detail
