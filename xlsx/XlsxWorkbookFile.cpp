#include "xlsx/XlsxWorkbookFile.h"

#include "base/Error.h"
#include "base/Utf.h"
#include "xlsx/XlsxRelationships.h"

namespace gridvane::xlsx {

std::u16string Workbook::Ja(std::u16string_view what) const
{
    return u"ブック \"" + fileName_ + u"\" " + std::u16string(what);
}

Workbook::Workbook(const std::filesystem::path& path)
    : package_(path), fileName_(FromUtf8(path.filename().string()))
{
    std::string workbookPart = "xl/workbook.xml";
    for (const auto& [id, rel] : ReadRels(package_, "")) {
        if (EndsWith(rel.second, "/officeDocument")) workbookPart = rel.first;
    }
    if (!package_.Has(workbookPart)) {
        throw Error(package_.DisplayName() + ": not a workbook (no workbook part)",
                    Ja(u"はブックではありません (ブックの本体 " + FromUtf8(workbookPart) + u" がありません)。"));
    }
    XmlPart xml(package_, workbookPart);
    const pugi::xml_document& doc = xml.doc;
    pugi::xml_node wb = doc.child("workbook");
    if (!wb) {
        throw Error(package_.DisplayName() + ": not a workbook (the workbook part has no workbook)",
                    Ja(u"はブックではありません (ブックの本体 " + FromUtf8(workbookPart) + u" にブックがありません)。"));
    }
    date1904_ = wb.child("workbookPr").attribute("date1904").as_bool(false);
    const PartReader reader(package_.DisplayName() + ": " + workbookPart);
    const std::int64_t tab = reader.Integer(wb.child("bookViews").child("workbookView").attribute("activeTab"), 0, "the workbook view");
    activeTab_ = tab < 0 ? 0 : static_cast<std::size_t>(tab); // past the last sheet: the first, as the spreadsheet does

    const auto rels = ReadRels(package_, workbookPart);
    for (pugi::xml_node s : wb.child("sheets").children("sheet")) {
        SheetEntry e;
        e.name = U16(s.attribute("name").as_string());
        const auto it = rels.find(s.attribute("r:id").as_string());
        if (it != rels.end()) {
            e.part = it->second.first;
            e.worksheet = EndsWith(it->second.second, "/worksheet");
        } else {
            e.worksheet = false;
        }
        sheets_.push_back(std::move(e));
    }
    if (sheets_.empty()) throw Error(package_.DisplayName() + ": the workbook has no sheets", Ja(u"にはシートがありません。"));
    formatter_ = std::make_unique<NumberFormatter>(date1904_);
    for (const auto& [id, rel] : rels) {
        if (EndsWith(rel.second, "/styles")) ReadStyles(rel.first);
        if (EndsWith(rel.second, "/sharedStrings")) ReadSharedStrings(rel.first);
    }
}

std::unique_ptr<Sheet> Workbook::LoadSheet(std::size_t index, std::optional<Area> wanted) const
{
    if (index >= sheets_.size()) {
        throw Error(package_.DisplayName() + ": the active sheet does not exist", Ja(u"のアクティブなシートがありません。"));
    }
    const SheetEntry& e = sheets_[index];
    if (!e.worksheet || e.part.empty()) {
        throw Error(package_.DisplayName() + ": the sheet \"" + ToUtf8(e.name) + "\" is not a worksheet",
                    Ja(u"のシート \"" + e.name + u"\" はワークシートではありません。"));
    }
    return std::make_unique<Sheet>(*this, package_, e.part, e.name, wanted);
}

} // namespace gridvane::xlsx
