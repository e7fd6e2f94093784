#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "base/Utf.h"
#include "tests/support/HexBytes.h"
#include "textconv/Cp932.h"
#include "textconv/Cp932BestFit.h"

namespace gridvane {
namespace {

bool IsLead(unsigned b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

bool IsTrail(unsigned b)
{
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

// Every byte sequence of one character: the single bytes that are no lead byte, and lead + trail pairs.
std::vector<std::string> AllSequences()
{
    std::vector<std::string> all;
    for (unsigned b = 0; b < 256; ++b)
        if (!IsLead(b))
            all.emplace_back(1, static_cast<char>(b));
    for (unsigned lead = 0; lead < 256; ++lead)
        for (unsigned trail = 0; trail < 256; ++trail)
            if (IsLead(lead) && IsTrail(trail))
                all.push_back({static_cast<char>(lead), static_cast<char>(trail)});
    return all;
}

TEST(Cp932, EncodesWithMicrosoftsTableAndTheSystemsSubstitutes)
{
    const struct {
        std::u16string text;
        std::string bytes;
    } cases[] = {
        {u"", ""},
        {std::u16string(u"\0A", 2), "00 41"},
        {u"AZ09 \\~", "41 5A 30 39 20 5C 7E"},
        {u"アｱ｡。ﾟ", "83 41 B1 A1 81 42 DF"},
        {u"熙槇", "EA A4 EA A0"},                     // trail bytes in the half-width kana range
        {u"①∑￢", "87 40 87 94 81 CA"},               // NEC row 13, the full-width not sign
        {u"～＼∥－", "81 60 81 5F 81 61 81 7C"},
        {u"ⅰ髙≒Ⅰ∵纊", "FA 40 FB FC 81 E0 87 54 81 E6 FA 5C"}, // JIS X 0208, NEC row 13, IBM; never ED/EE
        {u"\u0080\uF8F0\uF8F1\uF8F2\uF8F3", "80 A0 FD FE FF"},
        {u"\uE000\uE757", "F0 40 F9 FC"},             // user-defined area
        // Without a code: the substitute the Windows converter gives by default (the yen sign as 0x5C, which
        // Japanese fonts draw as the yen sign; ¢ £ ¬ as ￠ ￡ ￢; é as e), else "?".
        {u"¥\u301C—¢£¬‖−é\u203E", "5C 3F 3F 81 91 81 92 81 CA 3F 3F 65 3F"},
        {u"¥16,268", "5C 31 36 2C 32 36 38"},
        {u"ÀÇñß\u3094", "41 43 6E 73 83 94"},
        {u"a\U0001F600b", "61 3F 62"},                // a surrogate pair is one character
        {u"\xD800x\xDC00", "3F 78 3F"},               // lone surrogates
        {u"x\xDBFF", "78 3F"},                        // high surrogate at the end
        {u"한\uFFFD", "3F 3F"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Hex(EncodeCp932(c.text)), c.bytes) << ToUtf8(c.text);
}

TEST(Cp932, DecodesAndMarksUnmappedSequences)
{
    const struct {
        std::string bytes;
        std::u16string text;
    } cases[] = {
        {"", u""},
        {"\x41\x83\x41\xB1\x5C\x7E", u"Aアｱ\\~"},
        {"\xEA\xA4\xEA\xA0", u"熙槇"},
        {"\x87\x90\xED\x40\xEE\xEF\xFA\x40", u"≒纊ⅰⅰ"},         // duplicates decode alike
        {"\x80\xA0\xFD\xFE\xFF", u"\u0080\uF8F0\uF8F1\uF8F2\uF8F3"},
        {"\x85\x40" "A", u"\uFFFD" "A"},                       // unassigned code: one U+FFFD for both bytes
        {"\xEB\xA0\xA0", u"\uFFFD\uF8F0"},
        {"\x82\x20", u"\uFFFD "},                              // lead byte without a trail byte
        {"\x82\x7F\x82\xFD", u"\uFFFD\x7F\uFFFD\uF8F1"},
        {"\x82\x82\x60", u"ｂ`"},                              // a lead byte taken as a trail byte
        {"A\x82", u"A\uFFFD"},                                 // lead byte at the end
        {"\xFC", u"\uFFFD"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DecodeCp932(c.bytes), c.text) << Hex(c.bytes);
}

// Microsoft's table as Python's cp932 codec holds it: "hex-bytes hex-code point" per decodable sequence.
std::map<std::string, char32_t> ReferenceDecodeTable()
{
    const std::string command = std::string(GRIDVANE_PYTHON) + " -c \""
        "import sys\n"
        "leads=set(range(0x81,0xA0))|set(range(0xE0,0xFD))\n"
        "seqs=[bytes([b]) for b in range(256) if b not in leads]\n"
        "seqs+=[bytes([l,t]) for l in sorted(leads) for t in range(256) if 0x40<=t<=0xFC and t!=0x7F]\n"
        "for s in seqs:\n"
        "    try: u=s.decode('cp932')\n"
        "    except UnicodeDecodeError: continue\n"
        "    if len(u)==1: print(s.hex(), '%x' % ord(u))\n"
        "\"";
    std::map<std::string, char32_t> table;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return table;
    char line[64];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        char bytes[8];
        unsigned code = 0;
        if (std::sscanf(line, "%7s %x", bytes, &code) == 2)
            table[bytes] = code;
    }
    pclose(pipe);
    return table;
}

std::string LowerHex(std::string_view bytes)
{
    std::string hex = Hex(bytes);
    std::string out;
    for (const char c : hex)
        if (c != ' ')
            out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

TEST(Cp932, EverySequenceDecodesAsMicrosoftsTable)
{
#ifdef _WIN32
    GTEST_SKIP() << "the reference table comes from the build machine's Python";
#endif
    const auto reference = ReferenceDecodeTable();
    ASSERT_GT(reference.size(), 9000u) << "Python's cp932 codec did not answer";
    for (const auto& s : AllSequences()) {
        const auto it = reference.find(LowerHex(s));
        const std::u16string expected(1, it == reference.end() ? u'\uFFFD' : static_cast<char16_t>(it->second));
        EXPECT_EQ(DecodeCp932(s), expected) << Hex(s);
    }
}

// Windows' preference among the codes of one character: single bytes, JIS X 0208 (and the user-defined
// area), NEC row 13, IBM extensions; the NEC-selected IBM extensions never.
int Rank(std::string_view s)
{
    if (s.size() == 1)
        return 0;
    const auto lead = static_cast<unsigned char>(s[0]);
    if (lead == 0xED || lead == 0xEE)
        return 9;
    if (lead == 0x87)
        return 2;
    if (lead >= 0xFA)
        return 3;
    return 1;
}

TEST(Cp932, EveryCharacterEncodesToItsPreferredCodeAndOthersToQuestionMark)
{
    std::map<char16_t, std::string> preferred;
    for (const auto& s : AllSequences()) {
        const std::u16string c = DecodeCp932(s);
        ASSERT_EQ(c.size(), 1u) << Hex(s);
        if (c[0] == u'\uFFFD')
            continue;
        auto [it, inserted] = preferred.emplace(c[0], s);
        if (!inserted) {
            ASSERT_NE(Rank(s), Rank(it->second)) << "two codes of the same rank: " << Hex(s) << ", " << Hex(it->second);
            if (Rank(s) < Rank(it->second))
                it->second = s;
        }
    }
    for (const auto& [c, s] : preferred)
        ASSERT_LT(Rank(s), 9) << "only a NEC-selected code: " << Hex(s);
    std::map<char16_t, std::string> substitutes;
    for (std::size_t i = 0; i < kCp932BestFitCount; ++i) {
        const std::uint16_t code = kCp932BestFit[i].code;
        substitutes[kCp932BestFit[i].unit] =
            code < 0x100 ? std::string(1, static_cast<char>(code))
                         : std::string{static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
        // A substitute is for a character without a code, and is itself a character with one.
        EXPECT_EQ(preferred.count(kCp932BestFit[i].unit), 0u) << std::hex << kCp932BestFit[i].unit;
        EXPECT_NE(DecodeCp932(substitutes[kCp932BestFit[i].unit]), u"\uFFFD") << std::hex << kCp932BestFit[i].unit;
    }

    std::size_t represented = 0;
    for (char32_t c = 0; c <= 0x10FFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF && c != 0xD800 && c != 0xDFFF)
            continue; // lone surrogates: two samples are enough
        std::u16string text;
        if (c < 0x10000)
            text = std::u16string(1, static_cast<char16_t>(c));
        else if (c % 0x1000 == 0 || c == 0x1F600)
            text = {static_cast<char16_t>(0xD7C0 + (c >> 10)), static_cast<char16_t>(0xDC00 | (c & 0x3FF))};
        else
            continue;
        const auto it = c < 0x10000 ? preferred.find(static_cast<char16_t>(c)) : preferred.end();
        const auto sub = c < 0x10000 ? substitutes.find(static_cast<char16_t>(c)) : substitutes.end();
        const std::string expected = it != preferred.end() ? it->second : sub != substitutes.end() ? sub->second : "?";
        ASSERT_EQ(Hex(EncodeCp932(text)), Hex(expected)) << std::hex << static_cast<unsigned>(c);
        ASSERT_EQ(IsCp932Representable(c), it != preferred.end()) << std::hex << static_cast<unsigned>(c);
        represented += it != preferred.end();
    }
    EXPECT_GT(represented, 7900u);
}

// Every UTF-16 unit encoded alone gives the bytes the Windows converter gave when the list of substitutes
// was made: their checksum was taken there over its whole answer (tests/windows compares it with the
// converter itself).
TEST(Cp932, TheWholeEncodingIsTheWindowsConverters)
{
    std::uint64_t checksum = 0xcbf29ce484222325ull;
    const auto mix = [&checksum](unsigned char b) {
        checksum ^= b;
        checksum *= 0x100000001b3ull;
    };
    for (unsigned u = 0; u <= 0xFFFF; ++u) {
        if (u >= 0xD800 && u <= 0xDFFF)
            continue;
        const std::string bytes = EncodeCp932(std::u16string(1, static_cast<char16_t>(u)));
        mix(static_cast<unsigned char>(bytes.size()));
        for (const char b : bytes)
            mix(static_cast<unsigned char>(b));
    }
    EXPECT_EQ(checksum, kCp932EncodeChecksum);
}

TEST(Cp932, LongTextRoundTrips)
{
    std::u16string text;
    for (const auto& s : AllSequences()) {
        const std::u16string c = DecodeCp932(s);
        if (c[0] != u'\uFFFD')
            text += c;
    }
    EXPECT_EQ(DecodeCp932(EncodeCp932(text)), text);
}

} // namespace
} // namespace gridvane
