#pragma once
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "dxf/MakeR12Dxf_V.h"

namespace gridvane {

/// Where a drawing's entities go, one call per LINE, POLYLINE or TEXT, with the writer's own arguments.
/// The drawing file's line list is one destination (DxfLineListSink); a preview of the drawing is another.
class DxfEntitySink {
public:
    virtual ~DxfEntitySink() = default;
    /// One LINE from start to end.
    virtual void Line(const TAcadPoint& start, const TAcadPoint& end, std::u16string_view layer,
                      std::u16string_view lineType, int color) = 0;
    /// One POLYLINE through vertices (their z is not kept).
    virtual void Polyline(std::span<const TAcadPoint> vertices, bool closed, std::u16string_view layer,
                          std::u16string_view lineType, int color) = 0;
    /// One single-line TEXT; justification is a code such as "ML", decoded as DxfText decodes it.
    virtual void Text(std::u16string_view text, const TAcadPoint& first, const TAcadPoint& second, double height,
                      double widthFactor, double rotation, int horizontal, int vertical,
                      std::u16string_view justification, std::u16string_view layer, int color) = 0;
};

/// The entities of each kind that a drawing has on one layer.
struct DxfLayerCount {
    std::u16string layer;
    std::size_t lines = 0;
    std::size_t polylines = 0;
    std::size_t texts = 0;
};

/// Appends each entity to a DxfLineList through DxfLine, DxfPolyline and DxfText, and counts them.
class DxfLineListSink final : public DxfEntitySink {
public:
    explicit DxfLineListSink(DxfLineList& list) : list_(list) {}
    DxfLineList& List() { return list_; }
    /// The entities appended so far, by layer in the order each layer was first used.
    const std::vector<DxfLayerCount>& Counts() const { return counts_; }
    void Line(const TAcadPoint& start, const TAcadPoint& end, std::u16string_view layer, std::u16string_view lineType,
              int color) override;
    void Polyline(std::span<const TAcadPoint> vertices, bool closed, std::u16string_view layer,
                  std::u16string_view lineType, int color) override;
    void Text(std::u16string_view text, const TAcadPoint& first, const TAcadPoint& second, double height,
              double widthFactor, double rotation, int horizontal, int vertical, std::u16string_view justification,
              std::u16string_view layer, int color) override;

private:
    DxfLayerCount& CountOf(std::u16string_view layer);
    DxfLineList& list_;
    std::vector<DxfLayerCount> counts_;
    std::size_t lastLayer_ = 0; // consecutive entities mostly share their layer
};

} // namespace gridvane
