#pragma once
// Large workbook parts (the sheet, the shared strings) read as a stream of XML events while they are
// decompressed: no tree, no copy of the whole part. The limits are those of the parts read as trees:
// nesting at most kMaxXmlDepth, no document type declaration.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "xlsx/XlsxPackage.h"

namespace gridvane::xlsx {

/// One attribute of an element, or none; answers as a tree's attribute does.
class XmlAttr {
public:
    /// No attribute.
    XmlAttr() = default;
    /// The attribute name="value"; a null value for none of that name.
    XmlAttr(const char* name, const char* value) : name_(name), value_(value) {}
    /// True when the element has the attribute.
    explicit operator bool() const { return value_ != nullptr; }
    /// The attribute's name.
    const char* name() const { return name_; }
    /// Its value; "" when missing.
    const char* value() const { return value_ ? value_ : ""; }
    /// Its value; fallback when missing.
    const char* as_string(const char* fallback = "") const { return value_ ? value_ : fallback; }
    /// "1", "true", "yes" (by their first letter) are true; a missing attribute is fallback.
    bool as_bool(bool fallback) const
    {
        if (!value_) return fallback;
        const char c = value_[0];
        return c == '1' || c == 't' || c == 'T' || c == 'y' || c == 'Y';
    }

private:
    const char* name_ = "";
    const char* value_ = nullptr;
};

/// The attributes of one start tag, as the parser hands them over: name, value, name, value, ..., null.
class XmlAttrs {
public:
    /// Over the parser's list.
    explicit XmlAttrs(const char** list) : list_(list) {}
    /// The attribute of that name, or none.
    XmlAttr operator[](std::string_view name) const
    {
        for (const char** a = list_; *a; a += 2)
            if (Is(name, a[0])) return XmlAttr(a[0], a[1]);
        return XmlAttr(name.data(), nullptr);
    }
    /// name == s, without measuring s first (a sheet has millions of attributes).
    static bool Is(std::string_view name, const char* s)
    {
        for (const char c : name)
            if (*s++ != c) return false;
        return *s == '\0';
    }

private:
    const char** list_;
};

/// A reader's own walk of the pieces below a section whose markup it knows, straight from the bytes and
/// without events: it answers Piece only for a piece of plain markup (as XlsxXmlPiece.h's reader takes it)
/// whose every element it knows, ending where that reader's walk ends it, and Take then does what that
/// piece's events would do, failing alike. Anything else it leaves to the events.
class XmlPieceWalker {
public:
    virtual ~XmlPieceWalker() = default;
    enum class Walked {
        Piece,  // a whole piece was walked: Take reads it
        More,   // the bytes so far end inside the piece
        Unknown // markup the walker does not take: the piece goes to the events, from its start
    };
    /// Starts a piece.
    virtual void Begin() = 0;
    /// Walks on over data[0, size), the piece's bytes so far (which may have moved since the last call but
    /// not changed); the piece ends at the first end of one of its outermost elements at or beyond cut bytes,
    /// or before an end tag at its outer level: end is then its size.
    virtual Walked Walk(const char* data, std::size_t size, std::size_t cut, std::size_t& end) = 0;
    /// Where the walk resumes: the start of what is not yet complete.
    virtual std::size_t Resume() const = 0;
    /// Reads the piece walked; may change its bytes.
    virtual void Take(char* data) = 0;
};

/// What a reader of a streamed part does with its events.
class XmlEvents {
public:
    virtual ~XmlEvents() = default;
    /// The reader's own walker of the pieces of the section begun, if it has one.
    virtual XmlPieceWalker* PieceWalker() { return nullptr; }
    /// An element starts; depth: 1 for the document's element.
    virtual void Start(std::string_view name, const XmlAttrs& attrs, int depth) = 0;
    /// The element at depth ends.
    virtual void End(std::string_view name, int depth) = 0;
    /// Character data directly inside the element at depth, in one or more pieces.
    virtual void Text(std::string_view text, int depth) = 0;
};

/// Parses the part, calling events as it goes. What events throw ends the parse and is thrown on; a part
/// that is not well-formed, too deeply nested or has a document type declaration throws Error naming the
/// file and the part.
void StreamXmlPart(const XlsxPackage& package, const std::string& part, XmlEvents& events);

/// Hands a part's bytes to its sink in pieces, in order.
using XmlChunkSource = std::function<void(const std::function<void(std::string_view)>&)>;

/// StreamXmlPart over the bytes source hands over, in pieces of its choosing (the package and part only
/// name the part in messages). walkPieces false: every piece below the sections is gathered token by
/// token before it is read, as a piece that is not plain is; the same events and faults either way.
void StreamXmlBytes(const XlsxPackage& package, const std::string& part, const XmlChunkSource& source, XmlEvents& events,
                    bool walkPieces = true);

} // namespace gridvane::xlsx
