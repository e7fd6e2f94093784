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

/// A workbook file: its package, its sheets by name, and the styles and shared strings its sheets share.
class Workbook {
public:
    /// Opens path and reads the workbook part, the styles and the shared strings; throws Error naming the
    /// file and the problem.
    explicit Workbook(const std::filesystem::path& path);

    /// The container.
    const XlsxPackage& Package() const { return package_; }
    /// The file's name without its folder (ActiveWorkbook.Name).
    const std::u16string& FileName() const { return fileName_; }
    /// The number of sheets, worksheets or not.
    std::size_t SheetCount() const { return sheets_.size(); }
    /// The index of the sheet saved as active.
    std::size_t ActiveTab() const { return activeTab_; }
    /// The index of the sheet of that name, or nothing.
    std::optional<std::size_t> FindSheet(std::u16string_view name) const
    {
        for (std::size_t i = 0; i < sheets_.size(); ++i)
            if (sheets_[i].name == name) return i;
        return std::nullopt;
    }
    /// The sheet, keeping the cells of wanted (none: of its saved selection). Throws Error when it is
    /// not a worksheet or cannot be read.
    std::unique_ptr<Sheet> LoadSheet(std::size_t index, std::optional<Area> wanted = std::nullopt) const;

    /// The number of cell formats the styles part defines.
    std::size_t XfCount() const { return xfs_.size(); }
    /// Cell format style; the default one for an index the workbook does not define.
    const Xf& XfOf(std::uint32_t style) const { return style < xfs_.size() ? xfs_[style] : defaultXf_; }
    /// The font of a cell format; the default one for an index the workbook does not define.
    const Font& FontOf(const Xf& xf) const { return xf.fontId < fonts_.size() ? fonts_[xf.fontId] : defaultFont_; }
    /// The border of a cell format; no border for an index the workbook does not define.
    const Border& BorderOf(const Xf& xf) const { return xf.borderId < borders_.size() ? borders_[xf.borderId] : noBorder_; }
    /// The format code of a number format id: the workbook's own, else the built-in one.
    std::u16string FormatCode(int numFmtId) const
    {
        const auto it = numFmts_.find(numFmtId);
        return it != numFmts_.end() ? it->second : BuiltinNumberFormatCode(numFmtId);
    }
    /// Shared string i, or null past the last.
    const RichString* Shared(std::uint32_t i) const { return i < shared_.size() ? &shared_[i] : nullptr; }
    /// The number of shared strings.
    std::size_t SharedCount() const { return shared_.size(); }
    /// True when the workbook counts dates from 1904.
    bool Date1904() const { return date1904_; }
    /// The width of a digit of the Normal style's font, in pixels: the unit of column widths.
    double MaxDigitWidth() const { return mdw_; }
    /// The number formatter of the workbook's date system (one for the workbook).
    NumberFormatter& Formatter() const { return *formatter_; }

private:
    struct SheetEntry {
        std::u16string name;
        std::string part;
        bool worksheet = true;
    };
    // A refusal of this workbook as the window tells it: ブック "name" what.
    std::u16string Ja(std::u16string_view what) const;
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
