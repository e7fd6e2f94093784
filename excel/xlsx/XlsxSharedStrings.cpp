#include "excel/xlsx/XlsxSharedStrings.h"

#include "excel/xlsx/XlsxWorkbookFile.h"

namespace gridvane::xlsx {

void Workbook::ReadSharedStrings(const std::string& part)
{
    if (!package_.Has(part)) return;
    XmlPart xml(package_, part);
    const pugi::xml_document& doc = xml.doc;
    const PartReader reader(package_.DisplayName() + ": " + part);
    for (pugi::xml_node si : doc.child("sst").children("si")) {
        const std::size_t index = shared_.size();
        shared_.push_back(ReadRich(si, reader, [index] { return "the shared string " + std::to_string(index); }));
    }
}

} // namespace gridvane::xlsx
