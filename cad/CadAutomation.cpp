#include "cad/CadAutomation.h"

namespace gridvane {

std::string FormatGuid(const Guid& guid)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text = "{";
    auto put = [&](std::uint64_t value, int digits) {
        for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
            text += kHex[(value >> shift) & 0xF];
    };
    put(guid.data1, 8);
    text += '-';
    put(guid.data2, 4);
    text += '-';
    put(guid.data3, 4);
    text += '-';
    put(guid.data4[0], 2);
    put(guid.data4[1], 2);
    text += '-';
    for (std::size_t i = 2; i < guid.data4.size(); ++i)
        put(guid.data4[i], 2);
    text += '}';
    return text;
}

} // namespace gridvane
