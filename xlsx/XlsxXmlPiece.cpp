#include "xlsx/XlsxXmlPiece.h"

#include <pugixml.hpp>

#include <array>
#include <cstring>
#include <string_view>

namespace gridvane::xlsx {

namespace {

bool Is(char c, unsigned char cls) { return IsPlain(c, cls); }

// The length of the reference at p ('&'), up to end; 0 when it is not one of the plain kind: the five
// predefined entities, or a character reference (&#decimal; or &#xhex;) to a character other than NUL
// and the surrogates. *out: its decoded character.
std::size_t Reference(const char* p, const char* end, std::uint32_t* out)
{
    const auto is = [&](std::string_view rest, std::uint32_t c) -> std::size_t {
        if (static_cast<std::size_t>(end - p - 1) < rest.size() || std::string_view(p + 1, rest.size()) != rest) return 0;
        *out = c;
        return rest.size() + 1;
    };
    if (end - p < 4) return 0;
    switch (p[1]) {
    case 'l': return is("lt;", '<');
    case 'g': return is("gt;", '>');
    case 'q': return is("quot;", '"');
    case 'a': return p[2] == 'm' ? is("amp;", '&') : is("apos;", '\'');
    case '#': break;
    default: return 0;
    }
    const bool hex = p[2] == 'x';
    const char* q = p + (hex ? 3 : 2);
    const char* const digitsEnd = q + (hex ? 6 : 7); // at most U+10FFFF, or 1114111
    std::uint32_t v = 0;
    for (; q < end && q < digitsEnd && *q != ';'; ++q) {
        const char c = *q;
        if (c >= '0' && c <= '9') {
            v = v * (hex ? 16u : 10u) + static_cast<std::uint32_t>(c - '0');
        } else if (hex && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) {
            v = v * 16u + static_cast<std::uint32_t>((c | 0x20) - 'a' + 10);
        } else {
            return 0;
        }
    }
    if (q == end || *q != ';' || q == p + (hex ? 3 : 2)) return 0;
    if (v == 0 || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return 0;
    *out = v;
    return static_cast<std::size_t>(q + 1 - p);
}

// Names are a few letters: compared here rather than by a call.
bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i]) return false;
    return true;
}

// Decodes the references of [begin, end) in place; the decoded text's end.
char* Decode(char* begin, char* end)
{
    char* out = begin;
    for (char* p = begin; p < end;) {
        if (*p != '&') {
            *out++ = *p++;
            continue;
        }
        std::uint32_t c = 0;
        p += Reference(p, end, &c);
        if (c < 0x80) {
            *out++ = static_cast<char>(c);
        } else if (c < 0x800) {
            *out++ = static_cast<char>(0xC0 | (c >> 6));
            *out++ = static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            *out++ = static_cast<char>(0xE0 | (c >> 12));
            *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *out++ = static_cast<char>(0x80 | (c & 0x3F));
        } else {
            *out++ = static_cast<char>(0xF0 | (c >> 18));
            *out++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *out++ = static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

class TreeTeller {
public:
    explicit TreeTeller(XmlEvents& events) : events_(events) {}

    // The children of node, at depth; the text between the piece's outermost elements is not told.
    void Tell(const pugi::xml_node& node, int depth)
    {
        for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
            switch (child.type()) {
            case pugi::node_element:
                events_.Start(child.name(), AttributesOf(child, attrs_), depth);
                Tell(child, depth + 1);
                events_.End(child.name(), depth);
                break;
            case pugi::node_pcdata:
            case pugi::node_cdata:
                if (depth > 3) events_.Text(child.value(), depth - 1);
                break;
            default: break;
            }
        }
    }

private:
    XmlEvents& events_;
    std::vector<const char*> attrs_;
};

} // namespace

std::size_t PlainReferenceLength(const char* p, const char* end)
{
    std::uint32_t ignored = 0;
    return Reference(p, end, &ignored);
}

char* DecodePlainReferences(char* begin, char* end) { return Decode(begin, end); }

unsigned TreeParseOptions() { return pugi::parse_default | pugi::parse_ws_pcdata; }

XmlAttrs AttributesOf(const pugi::xml_node& element, std::vector<const char*>& list)
{
    list.clear();
    for (pugi::xml_attribute a = element.first_attribute(); a; a = a.next_attribute()) {
        list.push_back(a.name());
        list.push_back(a.value());
    }
    list.push_back(nullptr);
    return XmlAttrs(list.data());
}

void PlainPieceReader::Begin()
{
    open_.clear();
    steps_.clear();
    attrSpots_.clear();
    pos_ = boundary_ = 0;
    whole_ = false;
}

// One walk over the piece, checking that it is plain and noting its events where they lie in the bytes,
// which it leaves unchanged; they are told (and the bytes changed) only once the whole piece has passed.
// Token by token: where the bytes run out inside one, the walk resumes at its start when more have come.
PlainPieceReader::Walked PlainPieceReader::Walk(const char* data, std::size_t size, std::size_t cut, std::size_t& pieceEnd)
{
    // The longest reference of the plain kind ("&#1114111;"): a shorter rest may be one cut short.
    constexpr std::ptrdiff_t kLongestReference = 10;
    const char* const end = data + size;
    const char* p = data + pos_;
    std::uint32_t ignored = 0;
    const auto at = [data](const char* q) { return static_cast<std::size_t>(q - data); };
    // The bytes end inside a token: in a whole piece that is not plain, else more are to come.
    const auto cutShort = [this] { return whole_ ? Walked::NotPlain : Walked::More; };
    // One of the piece's outermost elements has ended at q: the piece may end there.
    const auto outerEnd = [&](const char* q) {
        boundary_ = at(q);
        if (boundary_ < cut) return false;
        pieceEnd = boundary_;
        return true;
    };
    while (p < end) {
        pos_ = at(p);
        if (*p != '<') {
            // Character data up to the next tag.
            const char* const from = p;
            bool escaped = false;
            while (p < end && !Is(*p, kPlainTextStop)) ++p;
            while (p < end && *p != '<') {
                if (*p != '&') return Walked::NotPlain; // CR or NUL
                const std::size_t n = Reference(p, end, &ignored);
                if (n == 0) return end - p < kLongestReference ? cutShort() : Walked::NotPlain;
                escaped = true;
                p += n;
                while (p < end && !Is(*p, kPlainTextStop)) ++p;
            }
            if (p == end && !whole_) return Walked::More;
            // Only the text inside the piece's elements is told.
            if (!open_.empty()) steps_.push_back(Step{Step::kText, escaped, Depth() - 1, at(from), at(p), 0, 0});
            continue;
        }
        if (++p == end) return cutShort();
        if (*p == '/') {
            // An end tag at the piece's outer level ends the section, and the piece before it.
            if (open_.empty() && !whole_) {
                pieceEnd = boundary_;
                return Walked::Piece;
            }
            // An end tag: its name, spaces, '>'; it must end the element open.
            const char* const name = ++p;
            if (p == end) return cutShort();
            if (!Is(*p, kPlainNameFirst)) return Walked::NotPlain;
            while (p < end && Is(*p, kPlainName)) ++p;
            const std::string_view ended(name, static_cast<std::size_t>(p - name));
            while (p < end && Is(*p, kPlainSpace)) ++p;
            if (p == end) return cutShort();
            if (*p != '>' || open_.empty() || !SameName(std::string_view(data + open_.back().name, open_.back().size), ended)) {
                return Walked::NotPlain;
            }
            ++p;
            open_.pop_back();
            steps_.push_back(Step{Step::kEnd, false, Depth(), at(name), at(name) + ended.size(), 0, 0});
            if (open_.empty() && outerEnd(p)) return Walked::Piece;
            continue;
        }
        // A start tag: its name, then attributes each after a space, then '>' or "/>".
        const char* const name = p;
        if (!Is(*p, kPlainNameFirst)) return Walked::NotPlain;
        while (p < end && Is(*p, kPlainName)) ++p;
        const std::size_t nameSize = static_cast<std::size_t>(p - name);
        const std::size_t firstAttr = attrSpots_.size();
        const auto tagCutShort = [&] {
            attrSpots_.resize(firstAttr);
            return cutShort();
        };
        for (;;) {
            const char* const gap = p;
            while (p < end && Is(*p, kPlainSpace)) ++p;
            if (p == end) return tagCutShort();
            if (*p == '>' || *p == '/') {
                const bool empty = *p == '/';
                if (empty && ++p == end) return tagCutShort();
                if (empty && *p != '>') return Walked::NotPlain;
                ++p;
                // Deeper than a part may nest: the route that reads everything else says so.
                if (!whole_ && Depth() > kMaxXmlDepth) return Walked::NotPlain;
                steps_.push_back(Step{empty ? Step::kEmpty : Step::kStart, false, Depth(), at(name), at(name) + nameSize,
                                      firstAttr, attrSpots_.size() - firstAttr});
                if (!empty) {
                    open_.push_back(Open{at(name), nameSize});
                } else if (open_.empty() && outerEnd(p)) {
                    return Walked::Piece;
                }
                break;
            }
            if (p == gap || !Is(*p, kPlainNameFirst)) return Walked::NotPlain;
            const char* const attr = p;
            while (p < end && Is(*p, kPlainName)) ++p;
            const char* const attrEnd = p;
            while (p < end && Is(*p, kPlainSpace)) ++p;
            if (p == end) return tagCutShort();
            if (*p != '=') return Walked::NotPlain;
            ++p;
            while (p < end && Is(*p, kPlainSpace)) ++p;
            if (p == end) return tagCutShort();
            if (*p != '"' && *p != '\'') return Walked::NotPlain;
            const char quote = *p++;
            const char* const value = p;
            bool escaped = false;
            for (;;) {
                while (p < end && !Is(*p, kPlainValueStop)) ++p;
                if (p == end) return tagCutShort();
                if (*p == quote) break;
                if (*p == '&') {
                    const std::size_t n = Reference(p, end, &ignored);
                    if (n == 0) return end - p < kLongestReference ? tagCutShort() : Walked::NotPlain;
                    escaped = true;
                    p += n;
                } else if (*p == '"' || *p == '\'') {
                    ++p; // the other quote
                } else {
                    return Walked::NotPlain; // < CR LF TAB NUL
                }
            }
            attrSpots_.push_back(AttrSpot{at(attr), at(attrEnd), at(value), at(p), escaped});
            ++p;
        }
    }
    pos_ = at(p);
    if (!whole_) return Walked::More;
    if (!open_.empty()) return Walked::NotPlain;
    pieceEnd = size;
    return Walked::Piece;
}

// Tells the steps in their order, changing the bytes as it goes: each change lies within its own step's
// bytes, before anything a later step hands over.
void PlainPieceReader::Replay(char* data, XmlEvents& events)
{
    for (const Step& s : steps_) {
        switch (s.kind) {
        case Step::kText: {
            char* const from = data + s.from;
            const char* const textEnd = s.escaped ? Decode(from, data + s.to) : data + s.to;
            events.Text(std::string_view(from, static_cast<std::size_t>(textEnd - from)), s.depth);
            break;
        }
        case Step::kEnd: events.End(std::string_view(data + s.from, s.to - s.from), s.depth); break;
        case Step::kStart:
        case Step::kEmpty: {
            attrs_.clear();
            for (std::size_t i = s.firstAttr; i < s.firstAttr + s.attrCount; ++i) {
                const AttrSpot& a = attrSpots_[i];
                // Names and values end by NUL, as the events hand them over: the name at its '=' or space,
                // the value at its closing quote at the latest.
                data[a.nameEnd] = '\0';
                *(a.escaped ? Decode(data + a.value, data + a.valueEnd) : data + a.valueEnd) = '\0';
                attrs_.push_back(data + a.name);
                attrs_.push_back(data + a.value);
            }
            attrs_.push_back(nullptr);
            const std::string_view name(data + s.from, s.to - s.from);
            events.Start(name, XmlAttrs(attrs_.data()), s.depth);
            if (s.kind == Step::kEmpty) events.End(name, s.depth);
            break;
        }
        }
    }
}

bool PlainPieceReader::Tell(char* data, std::size_t size, XmlEvents& events)
{
    Begin();
    whole_ = true;
    std::size_t end = 0;
    if (Walk(data, size, static_cast<std::size_t>(-1), end) != Walked::Piece) return false;
    Replay(data, events);
    return true;
}

bool TellPieceAsTree(char* data, std::size_t size, XmlEvents& events, PieceFault& fault)
{
    pugi::xml_document doc;
    const pugi::xml_parse_result result = doc.load_buffer_inplace(data, size, TreeParseOptions() | pugi::parse_fragment, pugi::encoding_utf8);
    if (!result) {
        fault = PieceFault{result.description(), static_cast<std::size_t>(result.offset)};
        return false;
    }
    TreeTeller(events).Tell(doc, 3);
    return true;
}

} // namespace gridvane::xlsx
