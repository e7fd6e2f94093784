// Column letters and the numeric-text test of the import.
#include "excel/ExcelImport.h"

#include <algorithm>

namespace gridvane {

std::u16string ColNoToLetters(std::int32_t n)
{
    // Bijective base 26: the letters A-Z are the digits 1-26, so there is no zero digit.
    std::u16string letters;
    while (n > 0) {
        std::int32_t r = n % 26;
        std::int32_t q = n / 26;
        if (r == 0) {
            r = 26;
            --q;
        }
        letters.insert(letters.begin(), static_cast<char16_t>(u'A' + r - 1));
        n = q;
    }
    return letters;
}

bool IsNumericText(std::u16string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char16_t c) {
        return (c >= u'0' && c <= u'9') || c == u'.' || c == u',' || c == u'-';
    });
}

} // namespace gridvane
