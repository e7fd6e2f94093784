#include "base/HugePages.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

namespace gridvane {

void AdviseHugePages(void* data, std::size_t bytes)
{
#ifdef MADV_HUGEPAGE
    if (data == nullptr || bytes < kHugePageAdviceMin) return;
    // The advice applies to whole pages; the 2 MiB-aligned part is what can become huge pages.
    constexpr std::uintptr_t kHuge = std::uintptr_t{2} << 20;
    const auto start = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (start + kHuge - 1) & ~(kHuge - 1);
    const std::uintptr_t end = (start + bytes) & ~(kHuge - 1);
    if (end > first) {
        // Advice only: where the kernel has no transparent huge pages the memory stays as it is.
        (void)madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
    }
#else
    (void)data;
    (void)bytes;
#endif
}

} // namespace gridvane
