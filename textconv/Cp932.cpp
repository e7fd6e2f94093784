// Code page 932 through tables built once from glibc's iconv decoder, completed to Microsoft's table
// and turned around so that each character encodes to the code Windows gives it; characters without a
// code get the substitutes of the Windows converter (Cp932BestFit.cpp), so both write the same bytes.
#include "textconv/Cp932.h"

#include <iconv.h>

#include <array>
#include <cstdint>
#include <memory>

#include "base/Error.h"
#include "textconv/Cp932BestFit.h"

namespace gridvane {
namespace {

constexpr std::uint16_t kNoCode = 0xFFFF; // no CP932 code is 0xFFFF (0xFF is a single byte)
constexpr char16_t kReplacement = u'\uFFFD';

constexpr bool IsLeadByte(unsigned b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

constexpr bool IsTrailByte(unsigned b)
{
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

// The NEC-selected IBM extensions duplicate the IBM extensions at 0xFA-0xFC; Windows never encodes to them.
constexpr bool IsNecSelectedLead(unsigned b)
{
    return b == 0xED || b == 0xEE;
}

struct Tables {
    std::array<char16_t, 256> single{};       // U+FFFD for lead bytes
    std::array<char16_t, 0x10000> pair{};     // by lead << 8 | trail; U+FFFD without a mapping
    std::array<std::uint16_t, 0x10000> code{}; // by UTF-16 unit: a byte (< 0x100), a lead/trail pair or kNoCode
    std::array<std::uint16_t, 0x10000> encode{}; // code, or the unit's substitute where it has no code

    Tables();
};

class IconvDecoder {
public:
    IconvDecoder() : cd_(iconv_open("UTF-16LE", "CP932"))
    {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw Error("コードページ 932 の変換器を開けません (iconv CP932)");
    }
    ~IconvDecoder() { iconv_close(cd_); }
    IconvDecoder(const IconvDecoder&) = delete;
    IconvDecoder& operator=(const IconvDecoder&) = delete;

    // The one UTF-16 unit the bytes decode to, or U+FFFD when they are not exactly one character.
    char16_t Decode(const unsigned char* bytes, std::size_t count)
    {
        char in[2] = {static_cast<char>(bytes[0]), count > 1 ? static_cast<char>(bytes[1]) : '\0'};
        unsigned char out[8];
        char* inPtr = in;
        char* outPtr = reinterpret_cast<char*>(out);
        std::size_t inLeft = count;
        std::size_t outLeft = sizeof out;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0 ||
            sizeof out - outLeft != 2)
            return kReplacement;
        return static_cast<char16_t>(out[0] | out[1] << 8);
    }

private:
    iconv_t cd_;
};

Tables::Tables()
{
    single.fill(kReplacement);
    pair.fill(kReplacement);
    code.fill(kNoCode);

    IconvDecoder decoder;
    for (unsigned b = 0; b < 256; ++b) {
        if (IsLeadByte(b))
            continue;
        const unsigned char byte = static_cast<unsigned char>(b);
        single[b] = decoder.Decode(&byte, 1);
    }
    // Windows' table also maps these single bytes, which glibc leaves out.
    single[0x80] = u'\u0080';
    single[0xA0] = u'\uF8F0';
    single[0xFD] = u'\uF8F1';
    single[0xFE] = u'\uF8F2';
    single[0xFF] = u'\uF8F3';

    for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
        if (!IsLeadByte(lead))
            continue;
        for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
            if (!IsTrailByte(trail))
                continue;
            const unsigned char bytes[2] = {static_cast<unsigned char>(lead), static_cast<unsigned char>(trail)};
            pair[lead << 8 | trail] = decoder.Decode(bytes, 2);
        }
    }

    // Encoding: single bytes, then two-byte codes in ascending order, the first code of a character
    // winning. Every JIS X 0208 duplicate of an NEC row 13 character lies in row 0x81, and the IBM
    // extensions follow both, so ascending order is Windows' preference once 0xED-0xEE are skipped.
    for (unsigned b = 0; b < 256; ++b)
        if (single[b] != kReplacement)
            code[single[b]] = static_cast<std::uint16_t>(b);
    for (int pass = 0; pass < 2; ++pass) {
        // The second pass would give 0xED-0xEE codes only to characters found nowhere else (there are none).
        for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
            if (!IsLeadByte(lead) || IsNecSelectedLead(lead) != (pass == 1))
                continue;
            for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
                const char16_t c = pair[lead << 8 | trail];
                if (c != kReplacement && code[c] == kNoCode)
                    code[c] = static_cast<std::uint16_t>(lead << 8 | trail);
            }
        }
    }
    encode = code;
    for (std::size_t i = 0; i < kCp932BestFitCount; ++i) {
        const Cp932Substitute& s = kCp932BestFit[i];
        if (encode[s.unit] == kNoCode)
            encode[s.unit] = s.code;
    }
}

const Tables& GetTables()
{
    static const std::unique_ptr<const Tables> tables = std::make_unique<const Tables>();
    return *tables;
}

constexpr bool IsHighSurrogate(char16_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}

constexpr bool IsLowSurrogate(char16_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

} // namespace

std::string EncodeCp932(std::u16string_view text)
{
    const Tables& t = GetTables();
    std::string bytes(2 * text.size(), '\0'); // at most two bytes per unit
    char* out = bytes.data();
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1]))
            ++i; // a character outside the basic plane: one "?"
        const std::uint16_t code = t.encode[c]; // surrogates have no code
        if (code == kNoCode) {
            *out++ = '?';
        } else if (code < 0x100) {
            *out++ = static_cast<char>(code);
        } else {
            *out++ = static_cast<char>(code >> 8);
            *out++ = static_cast<char>(code & 0xFF);
        }
    }
    bytes.resize(static_cast<std::size_t>(out - bytes.data()));
    return bytes;
}

std::u16string DecodeCp932(std::string_view bytes)
{
    const Tables& t = GetTables();
    std::u16string text(bytes.size(), u'\0'); // at most one unit per byte
    char16_t* out = text.data();
    const std::size_t n = bytes.size();
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned b = static_cast<unsigned char>(bytes[i]);
        if (!IsLeadByte(b)) {
            *out++ = t.single[b];
            continue;
        }
        const unsigned trail = i + 1 < n ? static_cast<unsigned char>(bytes[i + 1]) : 0u;
        if (IsTrailByte(trail)) {
            *out++ = t.pair[b << 8 | trail];
            ++i;
        } else {
            *out++ = kReplacement; // the byte after a lead byte that cannot be a trail byte starts afresh
        }
    }
    text.resize(static_cast<std::size_t>(out - text.data()));
    return text;
}

bool IsCp932Representable(char32_t c)
{
    return c < 0x10000 && GetTables().code[c] != kNoCode;
}

} // namespace gridvane
