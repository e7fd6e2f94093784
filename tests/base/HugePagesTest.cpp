#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/HugePages.h"

namespace gridvane {
namespace {

#ifndef _WIN32
// The VmFlags of the mapping that holds address, from /proc/self/smaps ("rd wr mr mw me ac hg").
std::string FlagsOfMappingHolding(const void* address)
{
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    std::ifstream smaps("/proc/self/smaps");
    bool inside = false;
    for (std::string line; std::getline(smaps, line);) {
        std::uintptr_t from = 0, to = 0;
        char dash = 0;
        std::istringstream range(line);
        if (range >> std::hex >> from >> dash >> to && dash == '-') {
            inside = at >= from && at < to;
        } else if (inside && line.rfind("VmFlags:", 0) == 0) {
            return line;
        }
    }
    return {};
}
#endif

// A large buffer is given zeroed elements in memory advised for huge pages (on Linux the mapping carries
// the flag "hg"), a small one just its elements.
TEST(HugePages, FreshBuffersAreAdvisedAndValueInitialised)
{
    std::vector<std::uint64_t> big{1, 2, 3};
    ResizeFresh(big, (16u << 20) / sizeof(std::uint64_t));
    ASSERT_EQ(big.size(), (16u << 20) / sizeof(std::uint64_t));
    EXPECT_EQ(big.front(), 0u);
    EXPECT_EQ(big[big.size() / 2], 0u);
    std::vector<int> small;
    ReserveFresh(small, 10);
    EXPECT_GE(small.capacity(), 10u);
    EXPECT_TRUE(small.empty());
#ifndef _WIN32
    const std::string flags = FlagsOfMappingHolding(big.data() + big.size() / 2);
    ASSERT_FALSE(flags.empty());
    EXPECT_NE(flags.find(" hg"), std::string::npos) << flags;
    EXPECT_EQ(FlagsOfMappingHolding(small.data()).find(" hg"), std::string::npos);
#endif
}

} // namespace
} // namespace gridvane
