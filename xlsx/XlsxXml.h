#pragma once
// The XML of workbook parts: the limits every part is read under (tree size, nesting, no document type
// declaration), XML Schema numbers, and attribute readers whose messages name the file, part and element.
#include <pugixml.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

#include "base/Error.h"
#include "xlsx/XlsxPackage.h"

namespace gridvane::xlsx {

/// UTF-8 text of a part as UTF-16 (a null pointer as the empty text).
std::u16string U16(const char* utf8);
/// UTF-8 text of a part as UTF-16.
std::u16string U16(std::string_view utf8);

// XML Schema numbers, written with a full stop whatever the user's locale: read with from_chars (never the
// C library's locale, which a window may have set to one with a decimal comma), and the whole text must be
// the number, so that "12abc" is refused rather than read as 12.
/// s without the XML white space around it.
std::string_view TrimXmlSpace(std::string_view s);
/// An XML Schema double that is finite (white space around allowed), or nothing.
std::optional<double> XmlDouble(std::string_view text);
/// XmlInteger for any text but digits alone.
std::optional<std::int64_t> XmlIntegerOfAnyText(std::string_view text);
/// An XML Schema integer (white space around allowed), or nothing.
inline std::optional<std::int64_t> XmlInteger(std::string_view text)
{
    // Indexes and row numbers: a few digits, read here.
    if (!text.empty() && text.size() <= 18) {
        std::int64_t v = 0;
        std::size_t i = 0;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) v = v * 10 + (text[i] - '0');
        if (i == text.size()) return v;
    }
    return XmlIntegerOfAnyText(text);
}

/// A value for a message, cut when long.
std::string Shown(std::string_view value);

/// A description given as a text, or as a function that makes it only when a message needs it (a sheet
/// may have millions of cells, and each would otherwise build its name).
template <class What>
std::string Describe(const What& what)
{
    if constexpr (std::is_invocable_v<const What&>) {
        return what();
    } else {
        return std::string(what);
    }
}

/// Reads the attributes of one part, with messages naming the file, the part and the element.
/// The attributes are a tree's (pugi::xml_attribute) or a stream's (XmlAttr).
class PartReader {
public:
    /// where names the file and the part ("book.xlsx: xl/styles.xml").
    explicit PartReader(std::string where) : where_(std::move(where)) {}
    /// The file and the part, as messages begin.
    const std::string& Where() const { return where_; }

    /// Throws Error with the problem after the file and the part.
    [[noreturn]] void Fail(const std::string& problem) const { throw Error(where_ + ": " + problem); }

    /// A number; fallback when the attribute is missing.
    template <class Attribute, class What>
    double Number(const Attribute& a, double fallback, const What& what) const
    {
        if (!a) return fallback;
        if (const auto v = XmlDouble(a.value())) return *v;
        Fail(Describe(what) + " has an invalid " + a.name() + " " + Shown(a.value()) + " (not a number)");
    }
    /// A whole number; fallback when the attribute is missing.
    template <class Attribute, class What>
    std::int64_t Integer(const Attribute& a, std::int64_t fallback, const What& what) const
    {
        if (!a) return fallback;
        if (const auto v = XmlInteger(a.value())) return *v;
        Fail(Describe(what) + " has an invalid " + a.name() + " " + Shown(a.value()) + " (not a whole number)");
    }
    /// An index into a list of the workbook (kind names the list: "the cell format", "the font"); 0 when the
    /// attribute is missing. Negative, fractional and out-of-range indexes are refused.
    template <class Attribute, class What>
        requires requires(const Attribute& a) { a.value(); a.name(); }
    std::uint32_t Index(const Attribute& a, std::size_t count, const What& what, const char* kind) const
    {
        if (!a) return 0;
        return Index(std::string_view(a.value()), count, what, kind);
    }
    /// The same for an index given as text.
    template <class What>
    std::uint32_t Index(std::string_view text, std::size_t count, const What& what, const char* kind) const
    {
        // A few digits naming an index the list has: taken at once (a sheet has one per cell).
        if (!text.empty() && text.size() <= 9) {
            std::uint64_t n = 0;
            std::size_t i = 0;
            for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) n = n * 10 + static_cast<std::uint64_t>(text[i] - '0');
            if (i == text.size() && (n == 0 || n < count)) return static_cast<std::uint32_t>(n);
        }
        const auto v = XmlInteger(text);
        if (!v) Fail(Describe(what) + " refers to " + kind + " " + Shown(text) + ", which is not an index");
        // Index 0 stands for the defaults also where a workbook leaves a list out.
        if (*v < 0 || (*v != 0 && static_cast<std::uint64_t>(*v) >= count)) {
            Fail(Describe(what) + " refers to " + kind + " " + std::to_string(*v) + ", which the workbook does not define");
        }
        return static_cast<std::uint32_t>(*v);
    }

private:
    std::string where_;
};

/// The text with the escapes of characters XML cannot carry (_xHHHH_) decoded.
std::u16string DecodeEscapes(std::u16string s);

// The refusals of a part, read whole or in pieces, each naming the file and the part.
/// The part is not well-formed XML: the parser's reason and the byte offset where it stopped.
Error PartNotWellFormed(const XlsxPackage& package, const std::string& part, const std::string& reason, std::uint64_t offset);
/// The part has a document type declaration.
Error PartHasDoctype(const XlsxPackage& package, const std::string& part);
/// The part is nested deeper than kMaxXmlDepth.
Error PartTooDeep(const XlsxPackage& package, const std::string& part);
/// Refuses text whose parsed tree would take over kMaxXmlTreeBytes (about 64 bytes per element or text and 40
/// per attribute); which says what of the part the text is: "is" (the whole part), "has an element".
void CheckTreeSize(const XlsxPackage& package, const std::string& part, std::string_view text, const char* which);

/// One XML part parsed in place: the tree points into the part's text, which it keeps (no second copy).
/// Refuses parts whose tree would be too large and documents nested deeper than kMaxXmlDepth.
struct XmlPart {
    /// Reads and parses part name of package; throws Error naming the file, the part and the problem.
    XmlPart(const XlsxPackage& package, const std::string& name);
    std::string data;
    pugi::xml_document doc;
};

} // namespace gridvane::xlsx
