#include "win/WinText.h"

namespace gridvane::win {

std::u16string WindowText(HWND hwnd)
{
    const int length = GetWindowTextLengthW(hwnd);
    if (length <= 0) return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(hwnd, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(got > 0 ? got : 0));
    return U(text);
}

void SetWindowTextIfChanged(HWND hwnd, std::u16string_view text)
{
    if (WindowText(hwnd) != text) SetWindowTextW(hwnd, W(text).c_str());
}

namespace {

template <class F> F UserFunction(const char* name)
{
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    // The functions of newer systems are looked up, so the program also starts where they are missing.
    return user32 != nullptr ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(user32, name))) : nullptr;
}

} // namespace

UINT WindowDpi(HWND hwnd)
{
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = UserFunction<GetDpiForWindowFn>("GetDpiForWindow");
    if (getDpiForWindow != nullptr && hwnd != nullptr) {
        const UINT dpi = getDpiForWindow(hwnd);
        if (dpi != 0) return dpi;
    }
    HDC dc = GetDC(nullptr);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96u;
}

HFONT CreateTahoma(int points, UINT dpi)
{
    LOGFONTW lf{};
    lf.lfHeight = -MulDiv(points, static_cast<int>(dpi), 72);
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = CLEARTYPE_QUALITY;
    lstrcpyW(lf.lfFaceName, L"Tahoma");
    return CreateFontIndirectW(&lf);
}

void AdjustWindowRectForDpi(RECT& rect, DWORD style, DWORD exStyle, UINT dpi)
{
    using AdjustFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
    static const auto adjust = UserFunction<AdjustFn>("AdjustWindowRectExForDpi");
    if (adjust != nullptr && adjust(&rect, style, FALSE, exStyle, dpi)) return;
    AdjustWindowRectEx(&rect, style, FALSE, exStyle);
}

} // namespace gridvane::win
