#include "xlsx/XlsxSharedStrings.h"

#include "xlsx/XlsxWorkbookFile.h"

namespace gridvane::xlsx {

namespace {

// <sst><si>...</si>...</sst>, read as it is decompressed.
class SharedStringsReader : public XmlEvents {
public:
    SharedStringsReader(std::vector<RichString>& out, const PartReader& reader) : out_(out), reader_(reader) {}

    void Start(std::string_view name, const XmlAttrs& attrs, int depth) override
    {
        if (depth == 1) {
            inTable_ = name == "sst";
        } else if (inTable_ && depth == 2) {
            inString_ = name == "si";
            if (inString_) builder_.Clear();
        } else if (inString_) {
            const std::size_t index = out_.size();
            builder_.Start(name, attrs, depth - 2, reader_, [index] { return "the shared string " + std::to_string(index); });
        }
    }
    void End(std::string_view, int depth) override
    {
        if (inString_ && depth == 2) {
            out_.push_back(builder_.Take());
            inString_ = false;
        } else if (inString_) {
            builder_.End(depth - 2);
        }
    }
    void Text(std::string_view text, int depth) override
    {
        if (inString_) builder_.Text(text, depth - 2);
    }

private:
    std::vector<RichString>& out_;
    const PartReader& reader_;
    RichStringBuilder builder_;
    bool inTable_ = false, inString_ = false;
};

} // namespace

void Workbook::ReadSharedStrings(const std::string& part)
{
    if (!package_.Has(part)) return;
    const PartReader reader(package_.DisplayName() + ": " + part);
    SharedStringsReader strings(shared_, reader);
    StreamXmlPart(package_, part, strings);
}

} // namespace gridvane::xlsx
