#include "textconv/StrConvUnit.h"

#include "textconv/Cp932.h"

namespace gridvane {
namespace {

constexpr bool IsLeadByte(unsigned b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Encodes text, hands each character to rule(bytes, i, n, out) -> bytes consumed, decodes the result.
// A rule that does not handle the character at i returns 0 and the character is copied.
template <typename Rule>
std::u16string Convert(std::u16string_view text, Rule rule)
{
    const std::string in = EncodeCp932(text);
    std::string out;
    out.reserve(in.size() * 2);
    const std::size_t n = in.size();
    std::size_t i = 0;
    while (i < n) {
        if (const std::size_t used = rule(in, i, out)) {
            i += used;
            continue;
        }
        const bool pair = IsLeadByte(static_cast<unsigned char>(in[i])) && i + 1 < n;
        out.append(in, i, pair ? 2 : 1);
        i += pair ? 2 : 1;
    }
    return DecodeCp932(out);
}

// The two-byte code at i, or 0 when the character at i is a single byte.
unsigned PairCode(const std::string& bytes, std::size_t i)
{
    const unsigned lead = static_cast<unsigned char>(bytes[i]);
    if (!IsLeadByte(lead) || i + 1 >= bytes.size())
        return 0;
    return lead << 8 | static_cast<unsigned char>(bytes[i + 1]);
}

// The two bytes after the first occurrence of b in a pair string, or an empty view.
std::string_view PairedKana(std::string_view pairs, char b)
{
    const std::size_t at = pairs.find(b);
    return at == std::string_view::npos ? std::string_view() : pairs.substr(at + 1, 2);
}

} // namespace

std::u16string FullDigitsToHalf(std::u16string_view text)
{
    return Convert(text, [](const std::string& in, std::size_t i, std::string& out) -> std::size_t {
        const unsigned code = PairCode(in, i);
        if (code < 0x824F || code > 0x8258)
            return 0;
        out += static_cast<char>((code & 0xFF) - 0x1F);
        return 2;
    });
}

std::u16string FullAlphaToHalf(std::u16string_view text)
{
    return Convert(text, [](const std::string& in, std::size_t i, std::string& out) -> std::size_t {
        const unsigned code = PairCode(in, i);
        if (code >= 0x8260 && code <= 0x8279)
            out += static_cast<char>((code & 0xFF) - 0x1F);
        else if (code >= 0x8281 && code <= 0x829A)
            out += static_cast<char>((code & 0xFF) - 0x20);
        else
            return 0;
        return 2;
    });
}

std::u16string FullSymbolsToHalf(std::u16string_view text)
{
    return Convert(text, [](const std::string& in, std::size_t i, std::string& out) -> std::size_t {
        const unsigned code = PairCode(in, i);
        if (code >> 8 != 0x81)
            return 0;
        for (const FullSymbol& s : FullSymbolTable) {
            if (s.code == code) {
                out += s.byte;
                return 2;
            }
        }
        return 0;
    });
}

std::u16string HalfKanaToFull(std::u16string_view text)
{
    return Convert(text, [](const std::string& in, std::size_t i, std::string& out) -> std::size_t {
        const unsigned b = static_cast<unsigned char>(in[i]);
        if (b < 0xA0 || b > 0xDF)
            return 0;
        if (i + 1 < in.size()) {
            const unsigned next = static_cast<unsigned char>(in[i + 1]);
            const std::string_view joined = next == 0xDE   ? PairedKana(VoicedKanaPairs, in[i])
                                            : next == 0xDF ? PairedKana(SemiVoicedKanaPairs, in[i])
                                                           : std::string_view();
            if (!joined.empty()) {
                out += joined;
                return 2;
            }
        }
        out += HalfKanaTable[b - 0xA0];
        return 1;
    });
}

} // namespace gridvane
