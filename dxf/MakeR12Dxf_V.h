#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/AtomicSave.h"

namespace gridvane {

/// A point in drawing units.
struct TAcadPoint {
    double x = 0;
    double y = 0;
    double z = 0;
    bool operator==(const TAcadPoint&) const = default;
};

/// The lines of a drawing file, UTF-16, kept compactly (one buffer, line offsets).
class DxfLineList {
public:
    void Clear();
    void Add(std::u16string_view line);
    /// Makes room for about the given number of lines and UTF-16 units.
    void Reserve(std::size_t lines, std::size_t units);
    std::size_t Count() const { return ends_.size(); }
    std::u16string_view operator[](std::size_t i) const;
    /// Total UTF-16 units of all lines, without line ends.
    std::size_t TextSize() const { return text_.size(); }

private:
    std::u16string text_;
    std::vector<std::size_t> ends_;
};

/// Clears the list, appends the HEADER section and opens the TABLES section.
void DxfStart(DxfLineList& list);
/// Appends the LTYPE table (CONTINUOUS).
void DxfLtypeTable(DxfLineList& list);
/// Closes TABLES and opens ENTITIES.
void DxfStartEntities(DxfLineList& list);
/// Appends one LINE entity.
void DxfLine(DxfLineList& list, const TAcadPoint& start, const TAcadPoint& end, std::u16string_view layer,
             std::u16string_view lineType, int color);
/// Appends one POLYLINE with its VERTEX records and SEQEND.
void DxfPolyline(DxfLineList& list, std::vector<TAcadPoint> vertices, bool closed, std::u16string_view layer,
                 std::u16string_view lineType, int color);
/// Appends one TEXT entity; justification decodes the passed group 72/73 values as documented in the .cpp.
void DxfText(DxfLineList& list, std::u16string_view text, const TAcadPoint& first, const TAcadPoint& second,
             double height, double widthFactor, double rotation, int horizontal, int vertical,
             std::u16string_view justification, std::u16string_view layer, int color);
/// The group 72 (horizontal) and 73 (vertical) values DxfText writes for a justification code, starting from
/// the passed defaults: "MC" gives 1 and 2, "L" gives 0 and 0, an empty or unknown code leaves the defaults.
void DecodeDxfJustification(std::u16string_view justification, int& horizontal, int& vertical);
/// Closes ENTITIES and appends EOF.
void DxfEnd(DxfLineList& list);

/// (coords[0], coords[1], coords[2]).
TAcadPoint VarToAcadPoint(std::span<const double, 3> coords);
/// Fills points from flat x,y pairs when coords.size() / 2 == points.size(); else returns false, points untouched.
bool VarToAcadPoints2D(std::span<const double> coords, std::span<TAcadPoint> points);

/// The real-number text of the drawing file: 15 significant digits, "0", fixed for exponents -4..14, else 5E-5.
/// Throws Error for a value that is not finite.
std::u16string FormatDxfReal(double value);

/// The drawing file path, not yet in place (see AtomicFile): its failures throw
/// Error("ファイル "<path>" を作成できません。<reason>").
AtomicFile CreateDxfFile(const std::filesystem::path& path);
/// Writes every line of list plus CR LF in the drawing code page, no BOM, to file. Throws Error on failure.
void WriteDxfLineList(const DxfLineList& list, AtomicFile& file);
/// Saves list as path whole or not at all: CreateDxfFile, WriteDxfLineList, then the file replaces path.
/// Throws Error("ファイル "<path>" を作成できません。<reason>") when the file cannot be written.
void SaveDxfLineList(const DxfLineList& list, const std::filesystem::path& path);

} // namespace gridvane
