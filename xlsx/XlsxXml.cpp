#include "xlsx/XlsxXml.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "base/Utf.h"

namespace gridvane::xlsx {

std::u16string U16(const char* utf8) { return FromUtf8(utf8 ? utf8 : ""); }
std::u16string U16(std::string_view utf8) { return FromUtf8(utf8); }

std::string_view TrimXmlSpace(std::string_view s)
{
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && space(s.front())) s.remove_prefix(1);
    while (!s.empty() && space(s.back())) s.remove_suffix(1);
    return s;
}

namespace {

// Most numbers of a sheet are a few digits with or without a fraction: read here, exactly as from_chars
// reads them. A whole of at most 15 digits and a power of ten up to 10^15 are both exact doubles, and
// their quotient is rounded once, correctly; anything else is left to from_chars.
std::optional<double> ShortDecimal(std::string_view text)
{
    static constexpr double kPowers[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    std::size_t i = 0;
    const bool minus = !text.empty() && text[0] == '-';
    if (minus) ++i;
    std::uint64_t whole = 0;
    std::size_t digits = 0, fraction = 0;
    const std::size_t first = i;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits) whole = whole * 10 + static_cast<std::uint64_t>(text[i] - '0');
    if (i == first || digits > 15) return std::nullopt;
    if (i < text.size() && text[i] == '.') {
        const std::size_t point = ++i;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits) whole = whole * 10 + static_cast<std::uint64_t>(text[i] - '0');
        fraction = i - point;
        if (fraction == 0 || digits > 15) return std::nullopt;
    }
    if (i != text.size()) return std::nullopt;
    const double v = static_cast<double>(whole) / kPowers[fraction];
    return minus ? -v : v;
}

} // namespace

std::optional<double> XmlDouble(std::string_view text)
{
    if (const auto v = ShortDecimal(text)) return v;
    text = TrimXmlSpace(text);
    if (text.size() > 1 && text[0] == '+' && text[1] != '-') text.remove_prefix(1);
    double v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v)) return std::nullopt;
    return v;
}

std::optional<std::int64_t> XmlIntegerOfAnyText(std::string_view text)
{
    text = TrimXmlSpace(text);
    if (text.size() > 1 && text[0] == '+' && text[1] != '-') text.remove_prefix(1);
    std::int64_t v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return v;
}

// A value for a message, cut when long.
std::string Shown(std::string_view value)
{
    std::string shown = "\"";
    shown.append(value.substr(0, 40));
    shown.append(value.size() > 40 ? "...\"" : "\"");
    return shown;
}

std::u16string DecodeEscapes(std::u16string s)
{
    if (s.find(u"_x") == std::u16string::npos) return s;
    std::u16string out;
    out.reserve(s.size());
    auto hex = [](char16_t c) -> int {
        if (c >= u'0' && c <= u'9') return c - u'0';
        if (c >= u'a' && c <= u'f') return c - u'a' + 10;
        if (c >= u'A' && c <= u'F') return c - u'A' + 10;
        return -1;
    };
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == u'_' && i + 6 < s.size() && s[i + 1] == u'x' && s[i + 6] == u'_') {
            int v = 0;
            bool ok = true;
            for (std::size_t k = 2; k < 6; ++k) {
                const int h = hex(s[i + k]);
                if (h < 0) { ok = false; break; }
                v = v * 16 + h;
            }
            if (ok) {
                out += static_cast<char16_t>(v);
                i += 6;
                continue;
            }
        }
        out += s[i];
    }
    return out;
}

Error PartNotWellFormed(const XlsxPackage& package, const std::string& part, const std::string& reason, std::uint64_t offset)
{
    return Error(package.DisplayName() + ": the part " + part + " is not well-formed XML (" + reason + " at offset " +
                 std::to_string(offset) + ")");
}

Error PartHasDoctype(const XlsxPackage& package, const std::string& part)
{
    return Error(package.DisplayName() + ": the part " + part +
                 " has a document type declaration (<!DOCTYPE>), which workbook parts never have; refused");
}

Error PartTooDeep(const XlsxPackage& package, const std::string& part)
{
    return Error(package.DisplayName() + ": the part " + part + " is nested deeper than " + std::to_string(kMaxXmlDepth) +
                 " levels");
}

void CheckTreeSize(const XlsxPackage& package, const std::string& part, std::string_view text, const char* which)
{
    const std::uint64_t tree = 64 * static_cast<std::uint64_t>(std::count(text.begin(), text.end(), '<')) +
                               40 * static_cast<std::uint64_t>(std::count(text.begin(), text.end(), '='));
    if (tree > kMaxXmlTreeBytes) {
        throw Error(package.DisplayName() + ": the part " + part + " " + which + " too large to read (about " +
                    std::to_string(tree >> 20) + " MiB once parsed; at most " + std::to_string(kMaxXmlTreeBytes >> 20) +
                    " MiB)");
    }
}

XmlPart::XmlPart(const XlsxPackage& package, const std::string& name) : data(package.Read(name))
{
    CheckTreeSize(package, name, data, "is");
    // Document type declarations are parsed (not skipped) so that a part holding one can be refused:
    // workbook parts never have one, and its entities are a way to smuggle in content or references.
    const pugi::xml_parse_result result =
        doc.load_buffer_inplace(data.data(), data.size(), pugi::parse_default | pugi::parse_doctype, pugi::encoding_auto);
    if (!result) throw PartNotWellFormed(package, name, result.description(), static_cast<std::uint64_t>(result.offset));
    struct DepthWalker : pugi::xml_tree_walker {
        bool doctype = false;
        bool for_each(pugi::xml_node& node) override
        {
            if (node.type() == pugi::node_doctype) doctype = true;
            return !doctype && depth() < kMaxXmlDepth;
        }
    } walker;
    const bool walked = doc.traverse(walker);
    if (walker.doctype) throw PartHasDoctype(package, name);
    if (!walked) throw PartTooDeep(package, name);
}

} // namespace gridvane::xlsx
