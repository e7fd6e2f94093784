#include "base/Utf.h"

namespace gridvane {

std::string ToUtf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size() * 3);
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::u16string FromUtf8(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    const std::size_t n = text.size();
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    while (i < n) {
        const unsigned char b = byte(i);
        char32_t c = 0xFFFD;
        std::size_t len = 1;
        if (b < 0x80) {
            c = b;
        } else if (b >= 0xC2 && b <= 0xF4) {
            const std::size_t need = b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
            if (i + need <= n) {
                char32_t v = b & (need == 2 ? 0x1F : need == 3 ? 0x0F : 0x07);
                bool ok = true;
                for (std::size_t k = 1; k < need; ++k) {
                    if ((byte(i + k) & 0xC0) != 0x80) { ok = false; break; }
                    v = (v << 6) | (byte(i + k) & 0x3F);
                }
                const char32_t minimum = need == 2 ? 0x80 : need == 3 ? 0x800 : 0x10000;
                if (ok && v >= minimum && v <= 0x10FFFF && !(v >= 0xD800 && v <= 0xDFFF)) {
                    c = v;
                    len = need;
                }
            }
        }
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
        i += len;
    }
    return out;
}

} // namespace gridvane

#include "base/Error.h"

namespace gridvane {

std::u16string WindowText(const std::exception& e)
{
    if (const auto* error = dynamic_cast<const Error*>(&e); error && !error->Japanese().empty()) return error->Japanese();
    return FromUtf8(e.what());
}

} // namespace gridvane
