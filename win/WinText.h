#pragma once
// Text, colours and geometry at the boundary between the form (UTF-16 in std::u16string) and the Windows API
// (UTF-16 in wchar_t). Windows only.
#include <windows.h>

#include <string>
#include <string_view>

#include "layout/DrawingPreview.h"

namespace gridvane::win {

/// The form's text as the API takes it (wchar_t is UTF-16 on Windows).
inline std::wstring W(std::u16string_view s) { return std::wstring(s.begin(), s.end()); }
/// The API's text as the form takes it.
inline std::u16string U(std::wstring_view s) { return std::u16string(s.begin(), s.end()); }
/// The whole text of a window.
std::u16string WindowText(HWND hwnd);
/// Sets a window's text only when it differs, so no change notification runs for nothing.
void SetWindowTextIfChanged(HWND hwnd, std::u16string_view text);

/// The dots per inch of a window (96 at 100 %); the system's when the per-window query is missing.
UINT WindowDpi(HWND hwnd);
/// A length given at 96 dots per inch, at dpi.
inline int Scale(int value, UINT dpi) { return MulDiv(value, static_cast<int>(dpi), 96); }
/// A length at dpi, back at 96 dots per inch.
inline int Unscale(int value, UINT dpi) { return MulDiv(value, 96, static_cast<int>(dpi)); }
/// A Tahoma font of the given point size at dpi; the caller deletes it.
HFONT CreateTahoma(int points, UINT dpi);
/// AdjustWindowRectExForDpi where the system has it, AdjustWindowRectEx otherwise.
void AdjustWindowRectForDpi(RECT& rect, DWORD style, DWORD exStyle, UINT dpi);
/// A colour of the form's as the API takes it.
inline COLORREF Colour(PreviewRgb c) { return RGB(c.r, c.g, c.b); }

} // namespace gridvane::win
