#include "textconv/StrConvUnit.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "textconv/Cp932.h"

namespace gridvane {
namespace {

constexpr bool IsLeadByte(unsigned b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Which UTF-16 units CP932 represents, asked once for the whole basic plane (a surrogate unit is no
// character of CP932), so that a text's runs are found by a bit test per unit.
class Cp932Units {
public:
    Cp932Units()
    {
        for (char32_t c = 0; c < 0x10000; ++c)
            if (IsCp932Representable(c))
                bits_[c >> 6] |= std::uint64_t{1} << (c & 63);
    }
    bool Has(char16_t c) const { return (bits_[c >> 6] >> (c & 63) & 1) != 0; }

private:
    std::array<std::uint64_t, 0x10000 / 64> bits_{};
};

const Cp932Units& RepresentedUnits()
{
    static const Cp932Units units;
    return units;
}

// Encodes a text of characters CP932 represents, hands each character to rule(bytes, i, out) -> bytes
// consumed, decodes the result. A rule writes at most two bytes for each byte it consumes and moves out
// past them; one that does not handle the character at i returns 0 and the character is copied.
template <typename Rule>
std::u16string ConvertRun(std::u16string_view run, Rule rule)
{
    const std::string in = EncodeCp932(run);
    const std::size_t n = in.size();
    char local[256]; // a cell's text fits; a longer one gets a buffer of its own
    std::string heap;
    if (2 * n > sizeof local)
        heap.resize(2 * n);
    char* const converted = heap.empty() ? local : heap.data();
    char* out = converted;
    std::size_t i = 0;
    while (i < n) {
        if (const std::size_t used = rule(in, i, out)) {
            i += used;
            continue;
        }
        *out++ = in[i];
        if (IsLeadByte(static_cast<unsigned char>(in[i])) && i + 1 < n)
            *out++ = in[++i];
        ++i;
    }
    return DecodeCp932(std::string_view(converted, static_cast<std::size_t>(out - converted)));
}

// The rule applies to each run of characters that CP932 represents; a character it lacks (a surrogate
// unit included) is no character of any rule and comes back as it is, so it never reaches the encoder
// and its substitute. Such a character also separates its neighbours: a kana and a sound mark join only
// when they are adjacent in the text.
template <typename Rule>
std::u16string Convert(std::u16string_view text, Rule rule)
{
    const Cp932Units& units = RepresentedUnits();
    const auto represented = [&units](char16_t c) { return units.Has(c); };
    const auto firstOutside = std::find_if_not(text.begin(), text.end(), represented);
    if (firstOutside == text.end())
        return ConvertRun(text, rule);
    std::u16string out;
    out.reserve(text.size() + text.size() / 2);
    auto at = text.begin();
    while (at != text.end()) {
        const auto runEnd = at == text.begin() ? firstOutside : std::find_if_not(at, text.end(), represented);
        if (runEnd != at)
            out += ConvertRun(std::u16string_view(at, runEnd), rule);
        at = std::find_if(runEnd, text.end(), represented);
        out.append(runEnd, at);
    }
    return out;
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

// FullSymbolTable by trail byte (every code in it has the lead byte 0x81); 0 where there is no symbol.
constexpr std::array<char, 256> kSymbolByTrail = [] {
    std::array<char, 256> bytes{};
    for (const FullSymbol& s : FullSymbolTable)
        bytes[s.code & 0xFF] = s.byte;
    return bytes;
}();
static_assert(std::all_of(FullSymbolTable.begin(), FullSymbolTable.end(), [](const FullSymbol& s) { return s.code >> 8 == 0x81; }));

char* Put(char* out, std::string_view bytes)
{
    return std::copy(bytes.begin(), bytes.end(), out);
}

} // namespace

std::u16string FullDigitsToHalf(std::u16string_view text)
{
    return Convert(text, [](const std::string& in, std::size_t i, char*& out) -> std::size_t {
        const unsigned code = PairCode(in, i);
        if (code < 0x824F || code > 0x8258)
            return 0;
        *out++ = static_cast<char>((code & 0xFF) - 0x1F);
        return 2;
    });
}

std::u16string FullAlphaToHalf(std::u16string_view text)
{
    return Convert(text, [](const std::string& in, std::size_t i, char*& out) -> std::size_t {
        const unsigned code = PairCode(in, i);
        if (code >= 0x8260 && code <= 0x8279)
            *out++ = static_cast<char>((code & 0xFF) - 0x1F);
        else if (code >= 0x8281 && code <= 0x829A)
            *out++ = static_cast<char>((code & 0xFF) - 0x20);
        else
            return 0;
        return 2;
    });
}

std::u16string FullSymbolsToHalf(std::u16string_view text)
{
    return Convert(text, [](const std::string& in, std::size_t i, char*& out) -> std::size_t {
        const unsigned code = PairCode(in, i);
        if (code >> 8 != 0x81 || kSymbolByTrail[code & 0xFF] == '\0')
            return 0;
        *out++ = kSymbolByTrail[code & 0xFF];
        return 2;
    });
}

std::u16string HalfKanaToFull(std::u16string_view text)
{
    return Convert(text, [](const std::string& in, std::size_t i, char*& out) -> std::size_t {
        const unsigned b = static_cast<unsigned char>(in[i]);
        if (b < 0xA0 || b > 0xDF)
            return 0;
        if (i + 1 < in.size()) {
            const unsigned next = static_cast<unsigned char>(in[i + 1]);
            const std::string_view joined = next == 0xDE   ? PairedKana(VoicedKanaPairs, in[i])
                                            : next == 0xDF ? PairedKana(SemiVoicedKanaPairs, in[i])
                                                           : std::string_view();
            if (!joined.empty()) {
                out = Put(out, joined);
                return 2;
            }
        }
        out = Put(out, HalfKanaTable[b - 0xA0]);
        return 1;
    });
}

} // namespace gridvane
