#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace gridvane {

// Width conversions on the code page 932 form of a text: each function encodes the text in CP932,
// walks it one character at a time (a lead byte 0x81-0x9F or 0xE0-0xFC and the byte after it are one
// character, never split), rewrites the characters of its own group and decodes the result. Every
// character outside the group comes back unchanged, also one that CP932 cannot represent (¥, é, an
// emoji, a lone surrogate): such a character is kept as it is, not encoded, and ends the run of
// characters around it, so a sound mark after it does not join the kana before it.

/// ０-９ to 0-9.
std::u16string FullDigitsToHalf(std::u16string_view text);
/// Ａ-Ｚ and ａ-ｚ to A-Z and a-z.
std::u16string FullAlphaToHalf(std::u16string_view text);
/// The 29 full-width symbols of FullSymbolTable to their one-byte forms (｜ to "l", ￥ to "\").
std::u16string FullSymbolsToHalf(std::u16string_view text);
/// Half-width katakana and punctuation (bytes 0xA0-0xDF) to full-width, joining a following ﾞ or ﾟ
/// where a voiced or semi-voiced kana exists (ｶﾞ to ガ, ｱﾞ to ア゛); the byte 0xA0 (U+F8F0) gives U+3000.
std::u16string HalfKanaToFull(std::u16string_view text);

/// The full-width form (two CP932 bytes) of each single byte 0xA0-0xDF, indexed by byte - 0xA0.
inline constexpr std::array<std::string_view, 64> HalfKanaTable = {
    "\x81\x40", "\x81\x42", "\x81\x75", "\x81\x76", "\x81\x41", "\x81\x45", "\x83\x92", "\x83\x40", // 　。「」、・ヲァ
    "\x83\x42", "\x83\x44", "\x83\x46", "\x83\x48", "\x83\x83", "\x83\x85", "\x83\x87", "\x83\x62", // ィゥェォャュョッ
    "\x81\x5B", "\x83\x41", "\x83\x43", "\x83\x45", "\x83\x47", "\x83\x49", "\x83\x4A", "\x83\x4C", // ーアイウエオカキ
    "\x83\x4E", "\x83\x50", "\x83\x52", "\x83\x54", "\x83\x56", "\x83\x58", "\x83\x5A", "\x83\x5C", // クケコサシスセソ
    "\x83\x5E", "\x83\x60", "\x83\x63", "\x83\x65", "\x83\x67", "\x83\x69", "\x83\x6A", "\x83\x6B", // タチツテトナニヌ
    "\x83\x6C", "\x83\x6D", "\x83\x6E", "\x83\x71", "\x83\x74", "\x83\x77", "\x83\x7A", "\x83\x7D", // ネノハヒフヘホマ
    "\x83\x7E", "\x83\x80", "\x83\x81", "\x83\x82", "\x83\x84", "\x83\x86", "\x83\x88", "\x83\x89", // ミムメモヤユヨラ
    "\x83\x8A", "\x83\x8B", "\x83\x8C", "\x83\x8D", "\x83\x8F", "\x83\x93", "\x81\x4A", "\x81\x4B", // リルレロワン゛゜
};

/// Pairs of a half-width kana byte and its two-byte voiced kana: ｶガｷギ…ﾎボｳヴ (21 pairs, 63 bytes).
inline constexpr std::string_view VoicedKanaPairs =
    "\xB6\x83\x4B\xB7\x83\x4D\xB8\x83\x4F\xB9\x83\x51\xBA\x83\x53\xBB\x83\x55\xBC\x83\x57"
    "\xBD\x83\x59\xBE\x83\x5B\xBF\x83\x5D\xC0\x83\x5F\xC1\x83\x61\xC2\x83\x64\xC3\x83\x66"
    "\xC4\x83\x68\xCA\x83\x6F\xCB\x83\x72\xCC\x83\x75\xCD\x83\x78\xCE\x83\x7B\xB3\x83\x94";

/// Pairs of a half-width kana byte and its two-byte semi-voiced kana: ﾊパﾋピﾌプﾍペﾎポ (5 pairs, 15 bytes).
inline constexpr std::string_view SemiVoicedKanaPairs = "\xCA\x83\x70\xCB\x83\x73\xCC\x83\x76\xCD\x83\x79\xCE\x83\x7C";

/// One row of FullSymbolTable: a two-byte CP932 code (lead byte first) and the byte it becomes.
struct FullSymbol {
    std::uint16_t code;
    char byte;
};

/// The full-width symbols FullSymbolsToHalf replaces; no other character is touched.
inline constexpr std::array<FullSymbol, 29> FullSymbolTable = {{
    {0x8143, ','}, {0x8144, '.'}, {0x8146, ':'}, {0x8147, ';'}, {0x8148, '?'},  // ，．：；？
    {0x8149, '!'}, {0x814D, '`'}, {0x814F, '^'}, {0x8151, '_'}, {0x815E, '/'},  // ！｀＾＿／
    {0x8162, 'l'},                                                              // ｜ (a lowercase L)
    {0x8169, '('}, {0x816A, ')'}, {0x816D, '['}, {0x816E, ']'}, {0x816F, '{'},  // （）［］｛
    {0x8170, '}'}, {0x817B, '+'}, {0x817C, '-'}, {0x8181, '='}, {0x8183, '<'},  // ｝＋－＝＜
    {0x8184, '>'}, {0x818F, '\\'}, {0x8190, '$'}, {0x8193, '%'}, {0x8194, '#'}, // ＞￥＄％＃
    {0x8195, '&'}, {0x8196, '*'}, {0x8197, '@'},                                // ＆＊＠
}};

} // namespace gridvane
