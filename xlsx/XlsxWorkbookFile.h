#pragma once
// The workbook part and what every sheet shares: the sheets, the styles and the shared strings.
#include <cstddef>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "numfmt/NumberFormat.h"
#include "xlsx/XlsxPackage.h"
#include "xlsx/XlsxSharedStrings.h"
#include "xlsx/XlsxSheet.h"
#include "xlsx/XlsxStyles.h"

namespace gridvane::xlsx {

class Workbook {
public:
    explicit Workbook(const std::filesystem::path& path);

    const XlsxPackage& Package() const { return package_; }
    const std::u16string& FileName() const { return fileName_; }
    std::size_t SheetCount() const { return sheets_.size(); }
    std::size_t ActiveTab() const { return activeTab_; }
    std::optional<std::size_t> FindSheet(std::u16string_view name) const
    {
        for (std::size_t i = 0; i < sheets_.size(); ++i)
            if (sheets_[i].name == name) return i;
        return std::nullopt;
    }
    // The sheet, keeping the cells of wanted (none: of its saved selection).
    std::unique_ptr<Sheet> LoadSheet(std::size_t index, std::optional<Area> wanted = std::nullopt) const;

    std::size_t XfCount() const { return xfs_.size(); }
    const Xf& XfOf(std::uint32_t style) const { return style < xfs_.size() ? xfs_[style] : defaultXf_; }
    const Font& FontOf(const Xf& xf) const { return xf.fontId < fonts_.size() ? fonts_[xf.fontId] : defaultFont_; }
    const Border& BorderOf(const Xf& xf) const { return xf.borderId < borders_.size() ? borders_[xf.borderId] : noBorder_; }
    std::u16string FormatCode(int numFmtId) const
    {
        const auto it = numFmts_.find(numFmtId);
        return it != numFmts_.end() ? it->second : BuiltinNumberFormatCode(numFmtId);
    }
    const RichString* Shared(std::uint32_t i) const { return i < shared_.size() ? &shared_[i] : nullptr; }
    std::size_t SharedCount() const { return shared_.size(); }
    bool Date1904() const { return date1904_; }
    double MaxDigitWidth() const { return mdw_; }
    NumberFormatter& Formatter() const { return *formatter_; }

private:
    struct SheetEntry {
        std::u16string name;
        std::string part;
        bool worksheet = true;
    };
    void ReadStyles(const std::string& part);
    void ReadSharedStrings(const std::string& part);

    XlsxPackage package_;
    std::u16string fileName_;
    std::vector<SheetEntry> sheets_;
    std::size_t activeTab_ = 0;
    bool date1904_ = false;
    std::vector<Font> fonts_;
    std::vector<Border> borders_;
    std::vector<Xf> xfs_;
    std::map<int, std::u16string> numFmts_;
    std::vector<RichString> shared_;
    Xf defaultXf_;
    Font defaultFont_;
    Border noBorder_;
    double mdw_ = 7;
    std::unique_ptr<NumberFormatter> formatter_;
};

} // namespace gridvane::xlsx
