#pragma once
#include <QColor>
#include <QString>

#include <string_view>

#include "layout/DrawingPreview.h"

// The form's values as Qt takes them.

namespace gridvane {

/// A text of the form (UTF-16) as a QString.
inline QString Q(std::u16string_view s) { return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size())); }

/// A colour of the form as a QColor.
inline QColor Q(PreviewRgb c) { return QColor(c.r, c.g, c.b); }

} // namespace gridvane
