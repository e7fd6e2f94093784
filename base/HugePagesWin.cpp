#include "base/HugePages.h"

namespace gridvane {

// Windows gives large pages only to processes holding the lock-pages privilege, and only through
// VirtualAlloc: the heap's memory stays as it is.
void AdviseHugePages(void*, std::size_t) {}

} // namespace gridvane
