#include "dxf/DxfEntitySink.h"

namespace gridvane {

void DxfLineListSink::Line(const TAcadPoint& start, const TAcadPoint& end, std::u16string_view layer,
                           std::u16string_view lineType, int color)
{
    DxfLine(list_, start, end, layer, lineType, color);
}

void DxfLineListSink::Polyline(std::span<const TAcadPoint> vertices, bool closed, std::u16string_view layer,
                               std::u16string_view lineType, int color)
{
    DxfPolyline(list_, vertices, closed, layer, lineType, color);
}

void DxfLineListSink::Text(std::u16string_view text, const TAcadPoint& first, const TAcadPoint& second, double height,
                           double widthFactor, double rotation, int horizontal, int vertical,
                           std::u16string_view justification, std::u16string_view layer, int color)
{
    DxfText(list_, text, first, second, height, widthFactor, rotation, horizontal, vertical, justification, layer, color);
}

} // namespace gridvane
