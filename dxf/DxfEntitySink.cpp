#include "dxf/DxfEntitySink.h"

#include <cstring>

namespace gridvane {

void DxfLineListSink::Line(const TAcadPoint& start, const TAcadPoint& end, std::u16string_view layer,
                           std::u16string_view lineType, int color)
{
    DxfLine(list_, start, end, layer, lineType, color);
    ++CountOf(layer).lines;
}

void DxfLineListSink::Polyline(std::span<const TAcadPoint> vertices, bool closed, std::u16string_view layer,
                               std::u16string_view lineType, int color)
{
    DxfPolyline(list_, vertices, closed, layer, lineType, color);
    ++CountOf(layer).polylines;
}

void DxfLineListSink::Text(std::u16string_view text, const TAcadPoint& first, const TAcadPoint& second, double height,
                           double widthFactor, double rotation, int horizontal, int vertical,
                           std::u16string_view justification, std::u16string_view layer, int color)
{
    DxfText(list_, text, first, second, height, widthFactor, rotation, horizontal, vertical, justification, layer, color);
    ++CountOf(layer).texts;
}

namespace {

// Layer names compared as their bytes: one call, not a loop over the characters.
bool SameName(std::u16string_view a, std::u16string_view b)
{
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(char16_t)) == 0);
}

} // namespace

DxfLayerCount& DxfLineListSink::CountOf(std::u16string_view layer)
{
    if (lastLayer_ < counts_.size() && SameName(counts_[lastLayer_].layer, layer)) return counts_[lastLayer_];
    for (lastLayer_ = 0; lastLayer_ < counts_.size(); ++lastLayer_)
        if (SameName(counts_[lastLayer_].layer, layer)) return counts_[lastLayer_];
    counts_.push_back({std::u16string(layer)});
    return counts_.back();
}

} // namespace gridvane
