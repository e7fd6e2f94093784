#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "dxf/DxfEntitySink.h"
#include "layout/TableLayout.h"

// The drawing of a table as plain records in drawing units, from the same layout run that writes the
// drawing file, so that a window can show what the file will hold. Painting it is the front end's only job.

namespace gridvane {

enum class PreviewKind : std::uint8_t { Line, Polyline, Text };

/// One entity of the drawing. Its points are DrawingPreview::points[first, first + count): a line's start and
/// end, a polyline's vertices, a text's (first) alignment point.
struct PreviewEntity {
    PreviewKind kind = PreviewKind::Line;
    std::uint8_t layer = 0;      // index into DrawingLayers()
    bool closed = false;         // polylines
    std::int8_t horizontal = 0;  // texts: group 72, 0 left, 1 centre, 2 right
    std::int8_t vertical = 0;    // texts: group 73, 1 bottom, 2 middle, 3 top (0 baseline)
    std::uint32_t first = 0, count = 0;
    double height = 0;           // texts, drawing units
    std::u16string text;         // texts, one line, as the file holds it (see UnrepresentableDrawingChars)
};

/// The entities in the drawing file's order, and the rectangle that holds every point.
struct DrawingPreview {
    std::vector<PreviewEntity> entities;
    std::vector<TAcadPoint> points;
    double minX = 0, minY = 0, maxX = 0, maxY = 0; // drawing units; all 0 without entities

    std::span<const TAcadPoint> Points(const PreviewEntity& e) const { return {points.data() + e.first, e.count}; }
};

/// Collects entities into a DrawingPreview.
class DrawingPreviewSink final : public DxfEntitySink {
public:
    explicit DrawingPreviewSink(DrawingPreview& preview) : preview_(preview) {}
    void Line(const TAcadPoint& start, const TAcadPoint& end, std::u16string_view layer, std::u16string_view lineType,
              int color) override;
    void Polyline(std::span<const TAcadPoint> vertices, bool closed, std::u16string_view layer,
                  std::u16string_view lineType, int color) override;
    void Text(std::u16string_view text, const TAcadPoint& first, const TAcadPoint& second, double height,
              double widthFactor, double rotation, int horizontal, int vertical, std::u16string_view justification,
              std::u16string_view layer, int color) override;

private:
    PreviewEntity& Add(PreviewKind kind, std::u16string_view layer, std::span<const TAcadPoint> points);
    DrawingPreview& preview_;
    bool any_ = false;
};

/// The preview of the drawing LayoutTable would write for the same arguments. Throws LayoutCellError as it does.
DrawingPreview PreviewTable(const CellTable& table, const std::vector<std::u16string>& texts, const LayoutOptions& options);

/// A colour as a window shows it.
struct PreviewRgb {
    std::uint8_t r, g, b;
    bool operator==(const PreviewRgb&) const = default;
};
/// The colour of a layer's colour index drawn on a white ground: 7 (white on the CAD's black ground) is
/// black, 250-255 are the CAD's greys, 1-6 its basic colours; any other index is drawn black.
PreviewRgb ColorOnWhite(int color);

/// Where the drawing lies in a window: pixel = origin + scale * (x, -y). Fitted until the user zooms or pans.
struct PreviewViewport {
    double width = 0, height = 0;   // the window's drawing area, pixels
    double scale = 1;               // pixels per drawing unit
    double originX = 0, originY = 0; // pixel position of the drawing's (0, 0)
    bool fitted = true;

    /// Centres the drawing's rectangle in the area with a margin of 12 pixels (less in a tiny area).
    void Fit(const DrawingPreview& preview);
    /// Scales by factor about the pixel (px, py), which keeps showing the same drawing point. The scale stays
    /// within 1e-6 .. 1e6 times the fitted one.
    void ZoomAt(const DrawingPreview& preview, double px, double py, double factor);
    /// Moves the drawing by (dx, dy) pixels.
    void Pan(double dx, double dy);
    double PixelX(double x) const { return originX + scale * x; }
    double PixelY(double y) const { return originY - scale * y; }
    /// The scale Fit would choose.
    double FitScale(const DrawingPreview& preview) const;
};

} // namespace gridvane
