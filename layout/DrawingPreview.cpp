#include "layout/DrawingPreview.h"

#include <algorithm>
#include <cmath>

#include "textconv/DrawingTextCheck.h"

namespace gridvane {

namespace {

std::uint8_t LayerIndex(std::u16string_view name)
{
    const auto layers = DrawingLayers();
    for (std::size_t i = 0; i < layers.size(); ++i)
        if (layers[i].name == name) return static_cast<std::uint8_t>(i);
    return 0; // the layout draws only on its own layers; anything else would be on "0"
}

} // namespace

PreviewEntity& DrawingPreviewSink::Add(PreviewKind kind, std::u16string_view layer, std::span<const TAcadPoint> points)
{
    PreviewEntity& e = preview_.entities.emplace_back();
    e.kind = kind;
    e.layer = LayerIndex(layer);
    e.first = static_cast<std::uint32_t>(preview_.points.size());
    e.count = static_cast<std::uint32_t>(points.size());
    for (const TAcadPoint& p : points) {
        preview_.points.push_back(p);
        if (!any_) {
            preview_.minX = preview_.maxX = p.x;
            preview_.minY = preview_.maxY = p.y;
            any_ = true;
        } else {
            preview_.minX = std::min(preview_.minX, p.x);
            preview_.maxX = std::max(preview_.maxX, p.x);
            preview_.minY = std::min(preview_.minY, p.y);
            preview_.maxY = std::max(preview_.maxY, p.y);
        }
    }
    return e;
}

void DrawingPreviewSink::Line(const TAcadPoint& start, const TAcadPoint& end, std::u16string_view layer,
                              std::u16string_view, int)
{
    const TAcadPoint points[] = {start, end};
    Add(PreviewKind::Line, layer, points);
}

void DrawingPreviewSink::Polyline(std::span<const TAcadPoint> vertices, bool closed, std::u16string_view layer,
                                  std::u16string_view, int)
{
    // The file keeps no vertex z: neither does the preview.
    std::vector<TAcadPoint> flat(vertices.begin(), vertices.end());
    for (TAcadPoint& p : flat) p.z = 0;
    Add(PreviewKind::Polyline, layer, flat).closed = closed;
}

void DrawingPreviewSink::Text(std::u16string_view text, const TAcadPoint& first, const TAcadPoint&, double height,
                              double, double, int horizontal, int vertical, std::u16string_view justification,
                              std::u16string_view layer, int)
{
    DecodeDxfJustification(justification, horizontal, vertical);
    const TAcadPoint points[] = {first};
    PreviewEntity& e = Add(PreviewKind::Text, layer, points);
    e.horizontal = static_cast<std::int8_t>(horizontal);
    e.vertical = static_cast<std::int8_t>(vertical);
    e.height = height;
    // The text as the drawing file holds it: what its code page cannot carry is the default character.
    e.text = text;
    for (const UnrepresentableChar& u : UnrepresentableDrawingChars(text)) {
        for (std::size_t at = e.text.find(u.character); at != std::u16string::npos; at = e.text.find(u.character, at + u.substitute.size()))
            e.text.replace(at, u.character.size(), u.substitute);
    }
}

DrawingPreview PreviewTable(const CellTable& table, const std::vector<std::u16string>& texts, const LayoutOptions& options)
{
    DrawingPreview preview;
    DrawingPreviewSink sink(preview);
    LayoutEntities(table, texts, options, sink, [&] {
        preview.entities.reserve(table.CellGrid.size() + 1024);
        preview.points.reserve(table.CellGrid.size() * 2 + 2048);
    });
    return preview;
}

PreviewRgb ColorOnWhite(int color)
{
    static constexpr PreviewRgb kBasic[] = {{255, 0, 0}, {255, 255, 0}, {0, 255, 0}, {0, 255, 255}, {0, 0, 255}, {255, 0, 255}};
    static constexpr PreviewRgb kGreys[] = {{51, 51, 51}, {91, 91, 91}, {132, 132, 132}, {173, 173, 173}, {214, 214, 214}, {255, 255, 255}};
    if (color >= 1 && color <= 6) return kBasic[color - 1];
    if (color >= 250 && color <= 255) return kGreys[color - 250];
    return {0, 0, 0};
}

namespace {

constexpr double kMargin = 12;

double Span(double lo, double hi) { return hi - lo; }

} // namespace

double PreviewViewport::FitScale(const DrawingPreview& p) const
{
    const double margin = std::min(kMargin, std::min(width, height) / 4);
    const double w = std::max(width - 2 * margin, 1.0), h = std::max(height - 2 * margin, 1.0);
    const double dw = Span(p.minX, p.maxX), dh = Span(p.minY, p.maxY);
    if (!(dw > 0) && !(dh > 0)) return 1;
    double s = INFINITY;
    if (dw > 0) s = std::min(s, w / dw);
    if (dh > 0) s = std::min(s, h / dh);
    return std::isfinite(s) && s > 0 ? s : 1;
}

void PreviewViewport::Fit(const DrawingPreview& p)
{
    scale = FitScale(p);
    originX = width / 2 - scale * (p.minX + p.maxX) / 2;
    originY = height / 2 + scale * (p.minY + p.maxY) / 2;
    fitted = true;
}

void PreviewViewport::ZoomAt(const DrawingPreview& p, double px, double py, double factor)
{
    if (!(factor > 0) || !std::isfinite(factor)) return;
    const double fit = FitScale(p);
    const double next = std::clamp(scale * factor, fit * 1e-6, fit * 1e6);
    // The drawing point under (px, py) stays there.
    const double x = (px - originX) / scale, y = (originY - py) / scale;
    scale = next;
    originX = px - scale * x;
    originY = py + scale * y;
    fitted = false;
}

void PreviewViewport::Pan(double dx, double dy)
{
    if (!std::isfinite(dx) || !std::isfinite(dy)) return;
    originX += dx;
    originY += dy;
    fitted = false;
}

} // namespace gridvane
