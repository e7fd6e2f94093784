#pragma once
// A piece of a streamed part: whole elements below the part's sections (rows and their cells, shared
// strings' texts) and the text between them, told as events with the piece's outermost elements at
// depth 3. Two routes: straight from the markup, for the plain markup every writer produces, and through
// a parsed tree, for anything else and for every fault.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "xlsx/XlsxXmlStream.h"

namespace pugi {
class xml_node;
}

namespace gridvane::xlsx {

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

private:
    // What the walk found, to be told once the whole piece has been found plain.
    struct Step {
        enum Kind : unsigned char { kStart, kEmpty, kEnd, kText } kind;
        bool escaped; // a text with references
        int depth;
        char* from; // the name, or the text
        char* to;
        std::size_t firstAttr, attrCount; // a start tag's attributes in attrSpots_
    };
    struct AttrSpot {
        char* name;
        char* nameEnd;
        char* value;
        char* valueEnd;
        bool escaped;
    };

    bool Walk(char* data, std::size_t size);
    void Replay(XmlEvents& events);
    // The piece's outermost elements are at depth 3.
    int Depth() const { return 3 + static_cast<int>(open_.size()); }

    std::vector<const char*> attrs_;
    std::vector<std::string_view> open_; // the names of the elements open
    std::vector<Step> steps_;
    std::vector<AttrSpot> attrSpots_;
};

/// How the tree route parses: texts keep their spaces (also a text of spaces only), as expat and the
/// spreadsheet keep them.
unsigned TreeParseOptions();

/// The attributes of a parsed element as the events hand them over, held in list until its next use.
XmlAttrs AttributesOf(const pugi::xml_node& element, std::vector<const char*>& list);

/// Parses the piece as a tree (changing its bytes) and tells it: false, with the fault, when it is not
/// well-formed, having told nothing.
bool TellPieceAsTree(char* data, std::size_t size, XmlEvents& events, PieceFault& fault);

} // namespace gridvane::xlsx
