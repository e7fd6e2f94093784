#include <gtest/gtest.h>

#include <cstdlib>

#include "base/Platform.h"
#include "base/Utf.h"

namespace gridvane {
namespace {

TEST(Platform, ExecutablePathNamesThisTestProgram)
{
    const std::filesystem::path path = ExecutablePath();
    EXPECT_TRUE(path.is_absolute()) << path;
    EXPECT_EQ(path.stem().string(), "test_base");
    EXPECT_TRUE(std::filesystem::is_regular_file(path)) << path;
}

// The test runs once in the default locale and, where the build sets it up, once more in a locale with
// another separator; GRIDVANE_EXPECTED_DECIMAL says which separator that locale has.
TEST(Platform, DecimalSeparatorFollowsTheUserLocale)
{
    const char* expected = std::getenv("GRIDVANE_EXPECTED_DECIMAL");
    if (expected == nullptr || *expected == '\0') {
        const char16_t separator = UserDecimalSeparator();
        EXPECT_TRUE(separator == u'.' || separator == u',') << static_cast<int>(separator);
        return;
    }
    EXPECT_EQ(ToUtf8(std::u16string(1, UserDecimalSeparator())), expected);
}

} // namespace
} // namespace gridvane
