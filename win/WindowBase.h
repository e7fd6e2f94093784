#pragma once
// The one window-procedure trampoline of the window classes of ours.
#include <windows.h>

#include <exception>

namespace gridvane::win {

/// The base of a window class of ours: owns the window's handle and is its class's window procedure, which
/// ties the object to the window from WM_NCCREATE (CreateWindowExW's parameter, kept in GWLP_USERDATA) to
/// WM_NCDESTROY and hands every message in between to Derived::OnMessage(message, wParam, lParam).
/// A Derived with Escaped(const std::exception*) is told of what escapes OnMessage (null: not an
/// std::exception), and the message is answered with 0.
template <class Derived> class WindowBase {
public:
    WindowBase(const WindowBase&) = delete;
    WindowBase& operator=(const WindowBase&) = delete;

    HWND Handle() const { return hwnd_; }

protected:
    WindowBase() = default;
    ~WindowBase() { Destroy(); }

    /// Registers the window class wc names, with this procedure.
    static void Register(WNDCLASSEXW wc)
    {
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = Procedure;
        RegisterClassExW(&wc);
    }
    /// Creates the window with this object behind it; Handle() is set from WM_NCCREATE on.
    void Create(DWORD exStyle, const wchar_t* className, const wchar_t* text, DWORD style, HWND parent, int id = 0,
                int x = 0, int y = 0, int width = 10, int height = 10)
    {
        CreateWindowExW(exStyle, className, text, style, x, y, width, height, parent,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), static_cast<Derived*>(this));
    }
    /// Destroys the window if it is still there; the object hears none of its last messages.
    void Destroy()
    {
        HWND hwnd = hwnd_;
        hwnd_ = nullptr;
        if (hwnd == nullptr || !IsWindow(hwnd)) return;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        DestroyWindow(hwnd);
    }
    /// Answers the painting messages of a window that paints all of itself with Derived::Paint(dc, area),
    /// area in client coordinates: WM_PAINT (what is to be updated), WM_PRINTCLIENT (the client area) and
    /// WM_ERASEBKGND (nothing to erase). False for any other message.
    bool PaintMessage(UINT message, WPARAM wParam, LRESULT& result)
    {
        auto* self = static_cast<Derived*>(this);
        switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd_, &ps);
            self->Paint(dc, ps.rcPaint);
            EndPaint(hwnd_, &ps);
            result = 0;
            return true;
        }
        case WM_PRINTCLIENT: {
            RECT client;
            GetClientRect(hwnd_, &client);
            self->Paint(reinterpret_cast<HDC>(wParam), client);
            result = 0;
            return true;
        }
        case WM_ERASEBKGND:
            result = 1;
            return true;
        default:
            return false;
        }
    }
    /// Takes the place and size WM_DPICHANGED suggests (its lParam) for a monitor of another DPI.
    void MoveToSuggestedRect(LPARAM lParam)
    {
        const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    /// The system's answer to a message.
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam) { return DefWindowProcW(hwnd_, message, wParam, lParam); }

    HWND hwnd_ = nullptr; // from WM_NCCREATE to WM_NCDESTROY

private:
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        Derived* self = nullptr;
        if (message == WM_NCCREATE) {
            self = static_cast<Derived*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
            self->WindowBase::hwnd_ = hwnd;
        } else {
            self = reinterpret_cast<Derived*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        }
        if (self == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
        if (message == WM_NCDESTROY) {
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            self->WindowBase::hwnd_ = nullptr;
            return DefWindowProcW(hwnd, message, wParam, lParam);
        }
        if constexpr (requires(Derived& d) { d.Escaped(static_cast<const std::exception*>(nullptr)); }) {
            try {
                return self->OnMessage(message, wParam, lParam);
            } catch (const std::exception& e) {
                self->Escaped(&e);
            } catch (...) {
                self->Escaped(nullptr);
            }
            return 0;
        } else {
            return self->OnMessage(message, wParam, lParam);
        }
    }
};

} // namespace gridvane::win
