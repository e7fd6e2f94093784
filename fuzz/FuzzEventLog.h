#pragma once
// The events of a streamed part or piece as lines, for the fuzz targets to compare two routes.
#include <string>

#include "base/Error.h"
#include "xlsx/XlsxXmlStream.h"

namespace gridvane::xlsx {

class FuzzEventLog : public XmlEvents {
public:
    /// refuse: a start tag with r="!" throws, as a reader refusing an element midway does.
    explicit FuzzEventLog(bool refuse = false) : refuse_(refuse) {}

    std::string lines;

    void Start(std::string_view name, const XmlAttrs& attrs, int depth) override
    {
        lines += "S" + std::string(name) + std::to_string(depth);
        for (const char* n : {"r", "s", "t", "x", "xml:space"}) {
            if (const XmlAttr a = attrs[n]) lines += std::string(" ") + a.name() + "=" + a.value() + ";";
        }
        lines += '\n';
        if (refuse_ && XmlAttrs::Is("!", attrs["r"].value())) throw Error("refused");
    }
    void End(std::string_view name, int depth) override { lines += "E" + std::string(name) + std::to_string(depth) + '\n'; }
    void Text(std::string_view text, int depth) override { lines += "T" + std::string(text) + std::to_string(depth) + '\n'; }

private:
    bool refuse_;
};

} // namespace gridvane::xlsx
