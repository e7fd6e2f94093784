#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <map>

#include "base/Utf.h"
#include "tests/support/HexBytes.h"
#include "textconv/Cp932.h"
#include "textconv/Cp932BestFit.h"

namespace gridvane {
namespace {

TEST(Cp932Win, EncodesWithMicrosoftsTableAndTheSystemsSubstitutes)
{
    const struct {
        std::u16string text;
        std::string bytes;
    } cases[] = {
        {u"", ""},
        {u"AZ09 \\~", "41 5A 30 39 20 5C 7E"},
        {u"アｱ｡。", "83 41 B1 A1 81 42"},
        {u"熙槇", "EA A4 EA A0"},           // trail bytes in the half-width kana range
        {u"①∑￢", "87 40 87 94 81 CA"},     // NEC special characters, the not sign
        {u"＼～", "81 5F 81 60"},           // full-width reverse solidus and tilde
        {u"髙", "FB FC"},                  // IBM extension
        {u"\u0080\uF8F0\uF8F1\uF8F3", "80 A0 FD FF"}, // the single bytes of Windows' table
        {u"é\u301C", "65 3F"},             // e with acute becomes e; the wave dash has no substitute
        {u"¥—¢£¬‖−", "5C 3F 81 91 81 92 81 CA 3F 3F"}, // yen as 0x5C, cent, pound and not sign full-width
        {u"ⅰⅠ≒纊", "FA 40 87 54 81 E0 FA 5C"}, // JIS X 0208, then NEC row 13, then IBM; never ED/EE
        {u"∥－", "81 61 81 7C"},
        {u"a\U0001F600b", "61 3F 62"},     // a character outside the basic plane is one "?"
        {u"\xD800x\xDC00", "3F 78 3F"},    // lone surrogates
    };
    for (const auto& c : cases)
        EXPECT_EQ(Hex(EncodeCp932(c.text)), c.bytes) << ToUtf8(c.text);
}

// The list of substitutes that every platform uses, against the converter it was taken from, unit by unit:
// a listed unit gets its substitute, every other one its own code or "?"; the checksum covers the whole.
TEST(Cp932Win, TheSubstitutesAreTheConvertersForEveryUnit)
{
    std::map<unsigned, std::string> listed;
    for (std::size_t i = 0; i < kCp932BestFitCount; ++i) {
        const std::uint16_t code = kCp932BestFit[i].code;
        listed[kCp932BestFit[i].unit] = code < 0x100 ? std::string(1, static_cast<char>(code))
                                                     : std::string{static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
    }
    const auto convert = [](wchar_t unit, DWORD flags) {
        char bytes[8];
        const int n = WideCharToMultiByte(932, flags, &unit, 1, bytes, sizeof bytes, nullptr, nullptr);
        return n > 0 ? std::string(bytes, static_cast<std::size_t>(n)) : std::string();
    };
    std::uint64_t checksum = 0xcbf29ce484222325ull;
    int mismatches = 0;
    for (unsigned u = 0; u <= 0xFFFF; ++u) {
        if (u >= 0xD800 && u <= 0xDFFF)
            continue;
        const wchar_t unit = static_cast<wchar_t>(u);
        const std::string bytes = convert(unit, 0);
        checksum = (checksum ^ static_cast<unsigned char>(bytes.size())) * 0x100000001b3ull;
        for (const char b : bytes)
            checksum = (checksum ^ static_cast<unsigned char>(b)) * 0x100000001b3ull;
        const auto it = listed.find(u);
        const std::string expected = it != listed.end() ? it->second : convert(unit, WC_NO_BEST_FIT_CHARS);
        const std::string ours = EncodeCp932(std::u16string(1, static_cast<char16_t>(u)));
        if ((bytes != expected || ours != bytes) && ++mismatches <= 20)
            ADD_FAILURE() << std::hex << "U+" << u << ": the converter gives " << Hex(bytes) << ", the list "
                          << Hex(expected) << ", EncodeCp932 " << Hex(ours);
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(checksum, kCp932EncodeChecksum);
}

TEST(Cp932Win, DecodesAndMarksUnmappedSequences)
{
    const struct {
        std::string bytes;
        std::u16string text;
    } cases[] = {
        {"", u""},
        {"\x41\x83\x41\xB1", u"Aアｱ"},
        {"\xEA\xA4\xEA\xA0", u"熙槇"},
        {"\x87\x90", u"≒"},                // NEC duplicate of 81 E0
        {"\xED\x40", u"纊"},               // NEC-selected IBM extension
        {"\x80\xA0\xFD\xFE\xFF", u"\u0080\uF8F0\uF8F1\uF8F2\uF8F3"}, // single bytes of Windows' table
        {"\x85\x40" "A", u"\uFFFD" "A"},   // unassigned two-byte code: one U+FFFD for both bytes
        {"\x82\x20", u"\uFFFD "},          // lead byte followed by no trail byte
        {"A\x82", u"A\uFFFD"},             // lead byte at the end
    };
    for (const auto& c : cases)
        EXPECT_EQ(DecodeCp932(c.bytes), c.text) << Hex(c.bytes);
}

TEST(Cp932Win, RepresentableCharacters)
{
    const struct {
        char32_t c;
        bool representable;
    } cases[] = {
        {U'A', true}, {U'ア', true}, {U'ｱ', true}, {U'①', true}, {U'\uF8F0', true}, {U'\uF8F3', true}, {U'纊', true},
        {U'é', false}, {U'\u301C', false}, {U'\U0001F600', false}, {0xD800, false}, {U'한', false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsCp932Representable(c.c), c.representable) << std::hex << static_cast<unsigned>(c.c);
}

} // namespace
} // namespace gridvane
