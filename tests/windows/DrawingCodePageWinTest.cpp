#include <gtest/gtest.h>

#include <windows.h>

#include "base/Utf.h"
#include "textconv/Cp932.h"
#include "textconv/DrawingCodePage.h"

namespace gridvane {
namespace {

// The tests run in a Japanese locale and once more in a German one (see CMakeLists.txt).
TEST(DrawingCodePageWin, AJapaneseSystemWritesCodePage932LikeEveryOtherPlatform)
{
    if (GetACP() != 932)
        GTEST_SKIP() << "ANSI code page " << GetACP();
    EXPECT_EQ(DrawingCodePage(), 932u);
    EXPECT_EQ(DrawingCodePageName(), u"ANSI_932");
    const std::u16string texts[] = {
        u"", u"ABC 123", u"部品表 ①髙 ｶﾞ", u"\\~＼～", u"é\u301C", u"a\U0001F600b", u"\xD800x",
    };
    for (const std::u16string& text : texts)
        EXPECT_EQ(EncodeDrawingText(text), EncodeCp932(text)) << ToUtf8(text);
}

TEST(DrawingCodePageWin, AWesternSystemWritesItsOwnCodePage)
{
    if (GetACP() != 1252)
        GTEST_SKIP() << "ANSI code page " << GetACP();
    EXPECT_EQ(DrawingCodePageName(), u"ANSI_1252");
    const struct {
        std::u16string text;
        std::string bytes;
    } cases[] = {
        {u"Grüße", "Gr\xFC\xDF" "e"},
        {u"日本", "??"},              // default character, no best fit
        {u"x\U0001F600y", "x?y"},     // one default character for a character outside the basic plane
    };
    for (const auto& c : cases)
        EXPECT_EQ(EncodeDrawingText(c.text), c.bytes) << ToUtf8(c.text);
}

} // namespace
} // namespace gridvane
