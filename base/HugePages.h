#pragma once
// Fresh memory at the machine's price: the first touch of a 4 KiB page costs the kernel a fault; a large
// buffer that is about to be written whole is cheaper in huge pages, where the system offers them on
// request (Linux: transparent huge pages in "madvise" mode).
#include <cstddef>
#include <vector>

namespace gridvane {

/// Buffers smaller than this are left alone: they hold no whole huge page worth the advice.
inline constexpr std::size_t kHugePageAdviceMin = std::size_t{4} << 20;

/// Asks the system to back the whole huge pages of [data, data + bytes) with huge pages. For memory not
/// touched yet; does nothing where the system has no such request, or for a buffer under
/// kHugePageAdviceMin.
void AdviseHugePages(void* data, std::size_t bytes);

/// Empties v and gives it n value-initialised elements in fresh memory advised for huge pages before its
/// first touch.
template <class T>
void ResizeFresh(std::vector<T>& v, std::size_t n)
{
    std::vector<T>().swap(v);
    v.reserve(n);
    AdviseHugePages(v.data(), n * sizeof(T));
    v.resize(n);
}

/// Makes room for n elements in v (empty) in fresh memory advised for huge pages before its first touch.
template <class T>
void ReserveFresh(std::vector<T>& v, std::size_t n)
{
    v.reserve(n);
    AdviseHugePages(v.data() + v.size(), (v.capacity() - v.size()) * sizeof(T));
}

} // namespace gridvane
