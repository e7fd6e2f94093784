#pragma once
// Text and geometry at the boundary between the form (UTF-16 in std::u16string) and the Windows API
// (UTF-16 in wchar_t). Windows only.
#include <windows.h>

#include <string>
#include <string_view>

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
/// The size of one text in a font, in pixels.
SIZE TextExtent(HWND hwnd, HFONT font, std::u16string_view text);

/// The object of ours behind a window: taken from CreateWindowExW's parameter at WM_NCCREATE and kept in
/// the window's user data, read from there for every later message; null before WM_NCCREATE.
template <class T> T* WindowObject(HWND hwnd, UINT message, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        T* self = static_cast<T*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        return self;
    }
    return reinterpret_cast<T*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

} // namespace gridvane::win
