#include "excel/xlsx/XlsxXmlStream.h"

#include <expat.h>

#include <exception>
#include <memory>

#include "base/Error.h"

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

} // namespace

void StreamXmlPart(const XlsxPackage& package, const std::string& part, XmlEvents& events)
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
        if (s.doctype) {
            throw Error(package.DisplayName() + ": the part " + part +
                        " has a document type declaration (<!DOCTYPE>), which workbook parts never have; refused");
        }
        if (s.tooDeep) {
            throw Error(package.DisplayName() + ": the part " + part + " is nested deeper than " +
                        std::to_string(kMaxXmlDepth) + " levels");
        }
        throw Error(package.DisplayName() + ": the part " + part + " is not well-formed XML (" +
                    XML_ErrorString(XML_GetErrorCode(parser.get())) + " at offset " +
                    std::to_string(XML_GetCurrentByteIndex(parser.get())) + ")");
    };
    package.ReadChunks(part, [&](std::string_view piece) {
        if (XML_Parse(parser.get(), piece.data(), static_cast<int>(piece.size()), XML_FALSE) != XML_STATUS_OK) fail();
    });
    if (XML_Parse(parser.get(), nullptr, 0, XML_TRUE) != XML_STATUS_OK) fail();
}

} // namespace gridvane::xlsx
