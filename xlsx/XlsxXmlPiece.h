#pragma once
// A piece of a streamed part: whole elements below the part's sections (rows and their cells, shared
// strings' texts) and the text between them, told as events with the piece's outermost elements at
// depth 3. Two routes: straight from the markup, for the plain markup every writer produces, and through
// a parsed tree, for anything else and for every fault.
#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "xlsx/XlsxXmlStream.h"

namespace pugi {
class xml_node;
}

namespace gridvane::xlsx {

// Byte classes of the plain markup.
enum PlainClass : unsigned char {
    kPlainSpace = 1,     // between a tag's parts
    kPlainNameFirst = 2, // may start a name
    kPlainName = 4,      // may go on in a name
    kPlainTextStop = 8,  // ends a run of character data or needs a look: < & CR NUL
    kPlainValueStop = 16 // the same in an attribute value: < & CR LF TAB NUL and the quotes
};

inline constexpr std::array<unsigned char, 256> kPlainClass = [] {
    std::array<unsigned char, 256> t{};
    for (const unsigned char c : {' ', '\t', '\n', '\r'}) t[c] |= kPlainSpace;
    for (int c = 'a'; c <= 'z'; ++c) t[static_cast<std::size_t>(c)] |= kPlainNameFirst | kPlainName;
    for (int c = 'A'; c <= 'Z'; ++c) t[static_cast<std::size_t>(c)] |= kPlainNameFirst | kPlainName;
    for (const unsigned char c : {'_', ':'}) t[c] |= kPlainNameFirst | kPlainName;
    for (int c = '0'; c <= '9'; ++c) t[static_cast<std::size_t>(c)] |= kPlainName;
    for (const unsigned char c : {'-', '.'}) t[c] |= kPlainName;
    for (const unsigned char c : {'<', '&', '\r', '\0'}) t[c] |= kPlainTextStop | kPlainValueStop;
    for (const unsigned char c : {'\n', '\t', '"', '\''}) t[c] |= kPlainValueStop;
    return t;
}();

/// Whether c is of any of the classes cls.
inline bool IsPlain(char c, unsigned char cls) { return (kPlainClass[static_cast<unsigned char>(c)] & cls) != 0; }

/// Where and why a piece is not well-formed (the offset within the piece).
struct PieceFault {
    std::string reason;
    std::size_t offset = 0;
};

/// Tells a piece straight from its markup: start tags with quoted attributes, end tags, character data,
/// the five predefined entities and character references. A piece with anything else (comments, CDATA,
/// processing instructions, other references, carriage returns, odd names or markup that is not
/// well-formed) is left to the tree: Tell then answers false having told nothing and changed no byte.
/// Told, the piece's bytes are changed in place (names and values ended by NUL, references decoded).
class PlainPieceReader {
public:
    bool Tell(char* data, std::size_t size, XmlEvents& events);

    // The same walk over a piece whose bytes come in parts, for a part read as it is decompressed: the
    // piece is found as it is walked, so its bytes are passed over once.
    enum class Walked {
        Piece,   // a whole piece was walked: Replay tells it
        More,    // the bytes so far end inside the piece
        NotPlain // the piece is not of the plain kind (or too deep): nothing was told
    };
    /// Starts a piece.
    void Begin();
    /// Walks on over data[0, size) (the piece's bytes so far, which may have moved since the last call but
    /// not changed). The piece ends at the first end of one of its outermost elements at or beyond cut
    /// bytes, or where an end tag comes at its outer level (the end of the section): end is then its size.
    Walked Walk(const char* data, std::size_t size, std::size_t cut, std::size_t& end);
    /// Where the walk resumes: the start of the token not yet complete.
    std::size_t Resume() const { return pos_; }
    /// Tells the piece walked, changing its bytes.
    void Replay(char* data, XmlEvents& events);

private:
    // What the walk found, to be told once the whole piece has been found plain; offsets in the piece.
    struct Step {
        enum Kind : unsigned char { kStart, kEmpty, kEnd, kText } kind;
        bool escaped; // a text with references
        int depth;
        std::size_t from; // the name, or the text
        std::size_t to;
        std::size_t firstAttr, attrCount; // a start tag's attributes in attrSpots_
    };
    struct AttrSpot {
        std::size_t name, nameEnd, value, valueEnd;
        bool escaped;
    };
    struct Open {
        std::size_t name, size;
    };

    // The piece's outermost elements are at depth 3.
    int Depth() const { return 3 + static_cast<int>(open_.size()); }

    std::vector<const char*> attrs_;
    std::vector<Open> open_; // the names of the elements open
    std::vector<Step> steps_;
    std::vector<AttrSpot> attrSpots_;
    std::size_t pos_ = 0;      // where the walk resumes
    std::size_t boundary_ = 0; // the end of the last outermost element walked
    bool whole_ = false; // Tell's walk: the bytes are the whole piece
};

/// The length of the reference at p ('&') as the plain route takes references (the five predefined
/// entities, character references to characters other than NUL and the surrogates), up to end; 0 otherwise.
std::size_t PlainReferenceLength(const char* p, const char* end);

/// Decodes the references of [begin, end), all of the plain kind, in place; the decoded text's end.
char* DecodePlainReferences(char* begin, char* end);

/// How the tree route parses: texts keep their spaces (also a text of spaces only), as expat and the
/// spreadsheet keep them.
unsigned TreeParseOptions();

/// The attributes of a parsed element as the events hand them over, held in list until its next use.
XmlAttrs AttributesOf(const pugi::xml_node& element, std::vector<const char*>& list);

/// Parses the piece as a tree (changing its bytes) and tells it: false, with the fault, when it is not
/// well-formed, having told nothing.
bool TellPieceAsTree(char* data, std::size_t size, XmlEvents& events, PieceFault& fault);

} // namespace gridvane::xlsx
