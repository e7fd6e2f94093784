#include <gtest/gtest.h>

#include "base/Utf.h"

namespace gridvane {
namespace {

TEST(Utf, RoundTripsAndReplacesBrokenInput)
{
    const std::u16string text = u"A\u3042\U0001F600\u00e9";
    EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
    EXPECT_EQ(ToUtf8(u"\xD800x"), "\xEF\xBF\xBDx");   // lone high surrogate
    EXPECT_EQ(FromUtf8("\xC0\x80"), u"\uFFFD\uFFFD"); // overlong form
    EXPECT_EQ(FromUtf8("\xE3\x81"), u"\uFFFD\uFFFD"); // truncated sequence
    EXPECT_EQ(FromUtf8("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD"); // encoded surrogate
}

} // namespace
} // namespace gridvane
