// Column letters and cell names of the worksheet.
#include "model/CellAddress.h"

#include "base/Decimal.h"

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

std::u16string CellName(std::int32_t col, std::int64_t row) { return ColNoToLetters(col) + Decimal(row); }

} // namespace gridvane
