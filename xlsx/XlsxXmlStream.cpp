#include "xlsx/XlsxXmlStream.h"

#include <expat.h>
#include <pugixml.hpp>

#include <algorithm>
#include <exception>
#include <memory>
#include <utility>
#include <vector>

#include "base/Error.h"
#include "xlsx/XlsxXml.h"
#include "xlsx/XlsxXmlPiece.h"

namespace gridvane::xlsx {

namespace {

struct ParserDeleter {
    void operator()(XML_ParserStruct* p) const { XML_ParserFree(p); }
};

// Expat is C: nothing may be thrown through it. What a handler throws is kept, the parser stopped, and
// the exception thrown again once the parser has returned.
struct Stream {
    XML_Parser parser;
    XmlEvents& events;
    int depth = 0;
    bool doctype = false;
    bool tooDeep = false;
    std::exception_ptr failure;

    void Stop() { XML_StopParser(parser, XML_FALSE); }
    template <class F>
    void Guard(F&& f)
    {
        if (failure || doctype || tooDeep) return;
        try {
            f();
        } catch (...) {
            failure = std::current_exception();
            Stop();
        }
    }
};

void XMLCALL OnStart(void* data, const XML_Char* name, const XML_Char** attrs)
{
    auto& s = *static_cast<Stream*>(data);
    if (++s.depth > kMaxXmlDepth) {
        s.tooDeep = true;
        s.Stop();
        return;
    }
    s.Guard([&] { s.events.Start(name, XmlAttrs(attrs), s.depth); });
}

void XMLCALL OnEnd(void* data, const XML_Char* name)
{
    auto& s = *static_cast<Stream*>(data);
    s.Guard([&] { s.events.End(name, s.depth); });
    --s.depth;
}

void XMLCALL OnText(void* data, const XML_Char* text, int length)
{
    auto& s = *static_cast<Stream*>(data);
    s.Guard([&] { s.events.Text(std::string_view(text, static_cast<std::size_t>(length)), s.depth); });
}

void XMLCALL OnDoctype(void* data, const XML_Char*, const XML_Char*, const XML_Char*, int)
{
    auto& s = *static_cast<Stream*>(data);
    s.doctype = true;
    s.Stop();
}

// ---- UTF-8 parts: cut between elements, each piece parsed by pugixml ----------------------------------
//
// A workbook part is one document element (depth 1) holding sections (depth 2) that hold the many small
// elements (depth 3 and below: rows and their cells, shared strings' texts). The start and end tags of
// the two outer levels are told as they are met; the elements below them are gathered into pieces of
// whole elements, cut where the nesting comes back to depth 2, and each piece is parsed by pugixml,
// which checks it, and told from its tree. Only tags, comments, CDATA sections and processing
// instructions need to be told apart to find the cuts; what lies inside them is pugixml's.

// Thrown before any event when the part is not UTF-8: expat reads it instead.
struct NotUtf8 {};

class PieceStream {
public:
    PieceStream(const XlsxPackage& package, const std::string& part, XmlEvents& events, bool walk)
        : package_(package), part_(part), events_(events), walk_(walk)
    {
    }

    void Feed(std::string_view piece)
    {
        buf_.append(piece);
        Scan(false);
    }

    void Finish()
    {
        Scan(true);
        if (pos_ < buf_.size()) Fail("unclosed token", base_ + pos_);
        if (!rootSeen_) Fail("no element found", base_ + pos_);
        if (depth_ > 0) Fail("unclosed element <" + stack_.back() + ">", base_ + pos_);
    }

private:
    static constexpr std::size_t kNone = std::string::npos;
    static constexpr std::size_t kPieceBytes = 256 * 1024;
    static constexpr std::size_t kLongToken = 16 * 1024;
    enum class Has { Yes, No, NeedMore };

    [[noreturn]] void Fail(const std::string& reason, std::size_t offset) const
    {
        throw PartNotWellFormed(package_, part_, reason, offset);
    }

    Has At(std::string_view prefix, bool final) const
    {
        const std::string_view rest = std::string_view(buf_).substr(pos_);
        if (rest.size() >= prefix.size()) return rest.substr(0, prefix.size()) == prefix ? Has::Yes : Has::No;
        if (prefix.substr(0, rest.size()) != rest) return Has::No;
        return final ? Has::No : Has::NeedMore;
    }

    // A letter, '_' or ':': a start tag the plain route may read.
    static bool NameStart(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':'; }

    // The start of the part: a UTF-8 byte order mark is skipped; another encoding goes to expat.
    bool Prologue(bool final)
    {
        if (buf_.size() < 4 && !final) return false;
        const auto byte = [&](std::size_t i) { return i < buf_.size() ? static_cast<unsigned char>(buf_[i]) : 0x100u; };
        if ((byte(0) == 0xFF && byte(1) == 0xFE) || (byte(0) == 0xFE && byte(1) == 0xFF) || byte(0) == 0 || byte(1) == 0) throw NotUtf8{};
        if (byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) pos_ = 3;
        prologueDone_ = true;
        return true;
    }

    // <?xml version="1.0" encoding="..."?>: anything but UTF-8 goes to expat.
    void Declaration(std::string_view decl)
    {
        const std::size_t at = decl.find("encoding");
        if (at == std::string_view::npos) return;
        const std::size_t open = decl.find_first_of("\"'", at);
        if (open == std::string_view::npos) return;
        const std::size_t close = decl.find(decl[open], open + 1);
        std::string name(decl.substr(open + 1, close == std::string_view::npos ? 0 : close - open - 1));
        for (char& c : name) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
        if (name != "UTF-8" && name != "UTF8") throw NotUtf8{};
    }

    void Scan(bool final)
    {
        if (!prologueDone_ && !Prologue(final)) return;
        while (pos_ < buf_.size()) {
            if (buf_[pos_] != '<') {
                const std::size_t lt = FindChar('<', pos_);
                const std::size_t end = lt == kNone ? buf_.size() : lt;
                if (depth_ == 0 && !TrimXmlSpace(std::string_view(buf_).substr(pos_, end - pos_)).empty()) {
                    Fail("text outside the document's element", base_ + pos_);
                }
                pos_ = end;
                continue;
            }
            // Elements below the sections are walked by the plain route as they are cut into pieces.
            if (walking_ || (walk_ && depth_ == 2 && pieceStart_ == kNone && !slowPiece_ && pos_ + 1 < buf_.size() &&
                             NameStart(buf_[pos_ + 1]))) {
                if (!WalkPiece(final)) break; // the piece goes on in the next part of the bytes
                continue;
            }
            if (!Token(final)) break; // the token goes on in the next piece
            pendingAt_ = kNone;
        }
        // Keep only what is not yet told: the piece being gathered, or the token not yet complete.
        const std::size_t keep = pieceStart_ != kNone ? pieceStart_ : pos_;
        if (keep > 0) {
            buf_.erase(0, keep);
            base_ += keep;
            pos_ -= keep;
            if (pieceStart_ != kNone) pieceStart_ -= keep;
            if (pieceEnd_ != kNone) pieceEnd_ -= keep;
            if (pendingAt_ != kNone) pendingAt_ -= keep, pendingFrom_ -= keep;
        }
    }

    // The first c at from or after, or kNone: by hand over the first characters (names, values and texts
    // are short: a call per search would cost more than it), then by memchr.
    std::size_t FindChar(char c, std::size_t from) const
    {
        const std::size_t size = buf_.size(), stop = std::min(size, from + 32);
        for (std::size_t i = from; i < stop; ++i)
            if (buf_[i] == c) return i;
        return stop == size ? kNone : buf_.find(c, stop);
    }

    // The search for the end of the token at pos_ starts at from, or where it stopped before.
    std::size_t Resume(std::size_t from) const { return pendingAt_ == pos_ ? std::max(from, pendingFrom_) : from; }
    bool Pending(std::size_t from, char quote)
    {
        pendingAt_ = pos_, pendingFrom_ = from, pendingQuote_ = quote;
        return false;
    }

    // One token at pos_ ('<'); false when it is not complete yet.
    bool Token(bool final)
    {
        const std::size_t start = pos_;
        // Where a piece of the part ended inside the token, the search for its end goes on where it
        // stopped: a token may be as long as the part, and must not be searched from its start again.
        const auto skipTo = [&](std::string_view close, std::size_t from) {
            const std::size_t e = buf_.find(close, Resume(from));
            if (e == kNone) return Pending(std::max(from, buf_.size() - std::min(buf_.size(), close.size() - 1)), 0);
            pos_ = e + close.size();
            return true;
        };
        // Most tokens are start and end tags, told apart from the rest by their second character.
        const char second = start + 1 < buf_.size() ? buf_[start + 1] : '\0';
        if (second == '/') {
            const std::size_t e = FindChar('>', Resume(start + 2));
            if (e == kNone) return Pending(buf_.size(), 0);
            pos_ = e + 1;
            EndTag(std::string_view(buf_).substr(start + 2, e - start - 2), start);
            return true;
        }
        if (second == '\0' || second == '?' || second == '!') {
            Has h;
            if ((h = At("<?", final)) != Has::No) {
                if (h == Has::NeedMore || !skipTo("?>", start + 2)) return false;
                const std::string_view pi = std::string_view(buf_).substr(start, pos_ - start);
                if (!rootSeen_ && depth_ == 0 && base_ + start <= 3 && pi.substr(0, 6) == "<?xml ") Declaration(pi);
                return true;
            }
            if ((h = At("<!--", final)) != Has::No) return h == Has::Yes && skipTo("-->", start + 4);
            if ((h = At("<![CDATA[", final)) != Has::No) {
                if (h == Has::NeedMore) return false;
                if (depth_ == 0) Fail("a CDATA section outside the document's element", base_ + start);
                return skipTo("]]>", start + 9);
            }
            if ((h = At("<!DOCTYPE", final)) != Has::No) {
                if (h == Has::NeedMore) return false;
                throw PartHasDoctype(package_, part_);
            }
            if ((h = At("<!", final)) != Has::No) {
                if (h == Has::NeedMore) return false;
                Fail("invalid markup", base_ + start);
            }
        }
        // A start tag: its end is the first '>' outside quoted attribute values.
        char quote = pendingAt_ == pos_ ? pendingQuote_ : 0;
        std::size_t e = Resume(start + 1);
        for (;;) {
            if (quote) {
                e = FindChar(quote, e);
            } else {
                // By hand: find_first_of would search the three characters for every character of the tag.
                while (e < buf_.size() && buf_[e] != '>' && buf_[e] != '"' && buf_[e] != '\'') ++e;
                if (e == buf_.size()) e = kNone;
            }
            if (e == kNone) return Pending(buf_.size(), quote);
            if (quote) {
                quote = 0, ++e;
            } else if (buf_[e] == '>') {
                break;
            } else {
                quote = buf_[e++];
            }
        }
        pos_ = e + 1;
        StartTag(start, e, buf_[e - 1] == '/');
        return true;
    }

    void StartTag(std::size_t start, std::size_t close, bool empty)
    {
        if (depth_ == 0 && rootSeen_) Fail("junk after the document's element", base_ + start);
        const int depth = depth_ + 1;
        if (depth > kMaxXmlDepth) throw PartTooDeep(package_, part_);
        if (depth <= 2) {
            TellPiece();
            if (depth == 1) rootSeen_ = true;
            // The tag alone, closed, parsed for its name and attributes.
            std::string tag = buf_.substr(start, close + 1 - start);
            if (!empty) tag.insert(tag.size() - 1, "/");
            pugi::xml_document doc;
            const pugi::xml_parse_result result = doc.load_buffer(tag.data(), tag.size(), TreeParseOptions(), pugi::encoding_utf8);
            const pugi::xml_node element = doc.first_child();
            if (!result || element.type() != pugi::node_element) {
                Fail(result ? "invalid start tag" : result.description(), base_ + start + (result ? 0 : result.offset));
            }
            events_.Start(element.name(), AttributesOf(element, attrs_), depth);
            if (empty) {
                events_.End(element.name(), depth);
            } else {
                stack_.emplace_back(element.name());
                depth_ = depth;
            }
            return;
        }
        if (pieceStart_ == kNone) pieceStart_ = start;
        if (!empty) {
            depth_ = depth;
        } else if (depth == 3) {
            EndOfElement();
        }
    }

    // tag: the end tag's text after "</", spaces and all; only the outer levels look at its name.
    void EndTag(std::string_view tag, std::size_t start)
    {
        if (depth_ == 0) Fail("an end tag without its start", base_ + start);
        if (depth_ <= 2) {
            const std::string_view name = TrimXmlSpace(tag);
            TellPiece();
            if (name != stack_.back()) Fail("mismatched tag: </" + std::string(name) + "> ends <" + stack_.back() + ">", base_ + start);
            events_.End(stack_.back(), depth_);
            stack_.pop_back();
            --depth_;
            return;
        }
        --depth_;
        if (depth_ == 2) EndOfElement();
    }

    // An element below the sections has ended: the piece may end here.
    void EndOfElement()
    {
        pieceEnd_ = pos_;
        if (pieceEnd_ - pieceStart_ >= kPieceBytes) TellPiece();
    }

    // The plain route's walk of the piece starting at pos_ (a start tag below the sections): the piece is
    // found and checked in one pass, and told when it ends; false when its bytes so far end inside it. A piece
    // found not plain, cut short at the part's end or longer than four pieces is gathered again from its start
    // token by token and read as any other (TellPiece), so that it is told, or refused, as that route does.
    bool WalkPiece(bool final)
    {
        if (!walking_) {
            walking_ = true;
            pieceStart_ = pos_;
            plain_.Begin();
            own_ = events_.PieceWalker();
            if (own_) own_->Begin();
        }
        char* const piece = buf_.data() + pieceStart_;
        std::size_t size = 0;
        // The reader's own walk first, where it has one: a piece it does not know is walked again from its
        // start by the plain route, and so is one that would be kept waiting longer than that route waits.
        if (own_) {
            const auto walked = own_->Walk(piece, buf_.size() - pieceStart_, kPieceBytes, size);
            if (walked == XmlPieceWalker::Walked::More && !final && buf_.size() - pieceStart_ <= kPieceBytes * 4 &&
                buf_.size() - pieceStart_ - own_->Resume() <= kLongToken) {
                return false;
            }
            if (walked == XmlPieceWalker::Walked::Piece) {
                walking_ = false;
                pos_ = pieceStart_ + size;
                pieceStart_ = kNone;
                XmlPieceWalker* const own = std::exchange(own_, nullptr);
                own->Take(piece);
                return true;
            }
            own_ = nullptr;
        }
        const auto walked = plain_.Walk(piece, buf_.size() - pieceStart_, kPieceBytes, size);
        // The walk resumes at the start of a token cut short: a token so long that walking it again for every
        // new part of the bytes would cost more than gathering it (the other route goes on where it stopped),
        // and a piece far larger than usual (one huge element), which is measured before it is read, are left
        // to the other route.
        if (walked == PlainPieceReader::Walked::More && !final && buf_.size() - pieceStart_ <= kPieceBytes * 4 &&
            buf_.size() - pieceStart_ - plain_.Resume() <= kLongToken) {
            return false;
        }
        walking_ = false;
        pos_ = pieceStart_;
        pieceStart_ = kNone;
        if (walked != PlainPieceReader::Walked::Piece) {
            slowPiece_ = true;
            return true;
        }
        pos_ += size;
        plain_.Replay(piece, events_);
        return true;
    }

    // Parses the gathered piece and tells its elements.
    void TellPiece()
    {
        slowPiece_ = false;
        if (pieceStart_ == kNone) return;
        const std::size_t start = pieceStart_, end = pieceEnd_;
        pieceStart_ = pieceEnd_ = kNone;
        if (end == kNone || end <= start) return;
        if (end - start > kPieceBytes * 4) {
            // One element far larger than a piece (a row of a hostile part): its tree could be many times its
            // size, so it is measured first, as a part read whole is.
            CheckTreeSize(package_, part_, std::string_view(buf_).substr(start, end - start), "has an element");
        }
        char* const piece = buf_.data() + start;
        if (plain_.Tell(piece, end - start, events_)) return;
        PieceFault fault;
        if (!TellPieceAsTree(piece, end - start, events_, fault)) Fail(fault.reason, base_ + start + fault.offset);
    }

    const XlsxPackage& package_;
    const std::string& part_;
    XmlEvents& events_;
    const bool walk_; // pieces walked by the plain route as they are cut
    std::string buf_;
    std::size_t base_ = 0; // the part's offset of buf_[0]
    std::size_t pos_ = 0;
    std::size_t pieceStart_ = kNone, pieceEnd_ = kNone;
    std::size_t pendingAt_ = kNone, pendingFrom_ = 0; // the token not yet complete, and where its search stopped
    char pendingQuote_ = 0;                           // the quote it stopped in, if any
    int depth_ = 0;
    bool prologueDone_ = false, rootSeen_ = false;
    bool walking_ = false;   // a piece is being walked by the plain route (WalkPiece)
    bool slowPiece_ = false; // the next piece is gathered token by token
    std::vector<std::string> stack_; // the open elements of the two outer levels
    std::vector<const char*> attrs_;
    PlainPieceReader plain_;
    XmlPieceWalker* own_ = nullptr; // the reader's own walker of the piece being walked
};

} // namespace

// Any encoding expat knows (UTF-16 parts, declared encodings): the whole part through expat.
void StreamWithExpat(const XlsxPackage& package, const std::string& part, const XmlChunkSource& source, XmlEvents& events)
{
    const std::unique_ptr<XML_ParserStruct, ParserDeleter> parser(XML_ParserCreate(nullptr));
    if (!parser) throw Error(package.DisplayName() + ": the part " + part + " cannot be read (out of memory)");
    Stream s{parser.get(), events, 0, false, false, nullptr};
    XML_SetUserData(parser.get(), &s);
    XML_SetElementHandler(parser.get(), OnStart, OnEnd);
    XML_SetCharacterDataHandler(parser.get(), OnText);
    // Workbook parts never have a document type declaration, and its entities are a way to smuggle in
    // content or references: the parse stops at its start.
    XML_SetStartDoctypeDeclHandler(parser.get(), OnDoctype);
    XML_SetParamEntityParsing(parser.get(), XML_PARAM_ENTITY_PARSING_NEVER);

    const auto fail = [&] {
        if (s.failure) std::rethrow_exception(s.failure);
        if (s.doctype) throw PartHasDoctype(package, part);
        if (s.tooDeep) throw PartTooDeep(package, part);
        throw PartNotWellFormed(package, part, XML_ErrorString(XML_GetErrorCode(parser.get())),
                                static_cast<std::uint64_t>(XML_GetCurrentByteIndex(parser.get())));
    };
    source([&](std::string_view piece) {
        if (XML_Parse(parser.get(), piece.data(), static_cast<int>(piece.size()), XML_FALSE) != XML_STATUS_OK) fail();
    });
    if (XML_Parse(parser.get(), nullptr, 0, XML_TRUE) != XML_STATUS_OK) fail();
}

void StreamXmlBytes(const XlsxPackage& package, const std::string& part, const XmlChunkSource& source, XmlEvents& events,
                    bool walkPieces)
{
    try {
        PieceStream stream(package, part, events, walkPieces);
        source([&](std::string_view piece) { stream.Feed(piece); });
        stream.Finish();
    } catch (const NotUtf8&) {
        StreamWithExpat(package, part, source, events);
    }
}

void StreamXmlPart(const XlsxPackage& package, const std::string& part, XmlEvents& events)
{
    StreamXmlBytes(package, part, [&](const std::function<void(std::string_view)>& sink) { package.ReadChunks(part, sink); },
                   events);
}

} // namespace gridvane::xlsx
