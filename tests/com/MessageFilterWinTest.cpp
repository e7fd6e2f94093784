// A busy server, as the calls of a session meet it: asked to repeat later (retried with the window painting
// and its input kept back, the session's report told), rejected (final), and the message filter's answers
// to the system.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <functional>
#include <vector>

#include "com/ComApartmentWin.h"
#include "com/DispatchWin.h"
#include "com/MessageFilterWin.h"

namespace gridvane {
namespace {

using Clock = std::chrono::steady_clock;

// How the server answers one call.
enum class Answer { Take, RetryLater, ObjectModelBusyRaised, ObjectModelBusyReturned, Rejected };

// An automation object with one member, Value, that answers its calls from a script (then takes them).
class ScriptedServer final : public IDispatch {
public:
    std::deque<Answer> script;
    bool busyForGood = false; // RetryLater once the script is done
    int invocations = 0;
    std::function<void()> onCall; // runs at every invocation, before the answer

    // It lives as long as the test: references are not counted.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        const bool offered = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch);
        *out = offered ? static_cast<IDispatch*>(this) : nullptr;
        return offered ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        *count = 0; // no type information
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID* id) override
    {
        *id = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO* exception,
                                     UINT*) override
    {
        ++invocations;
        if (onCall)
            onCall();
        Answer answer = busyForGood ? Answer::RetryLater : Answer::Take;
        if (!script.empty()) {
            answer = script.front();
            script.pop_front();
        }
        switch (answer) {
        case Answer::Take:
            result->vt = VT_I4;
            result->lVal = 42;
            return S_OK;
        case Answer::RetryLater:
            return RPC_E_SERVERCALL_RETRYLATER;
        case Answer::ObjectModelBusyRaised:
            *exception = EXCEPINFO{};
            exception->scode = kObjectModelBusy;
            return DISP_E_EXCEPTION;
        case Answer::ObjectModelBusyReturned:
            return kObjectModelBusy;
        case Answer::Rejected:
            return RPC_E_CALL_REJECTED;
        }
        return E_UNEXPECTED;
    }
};

// A window of this thread that counts what reaches it.
class CountingWindow {
public:
    int paints = 0, keys = 0, clicks = 0, posted = 0;

    struct Snapshot {
        int paints = -1, keys = -1, clicks = -1, posted = -1;
    };
    static Snapshot Counts(const CountingWindow& w) { return {w.paints, w.keys, w.clicks, w.posted}; }

    CountingWindow()
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &Procedure;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"GridvaneBusyWaitTest";
        RegisterClassW(&wc);
        window_ = CreateWindowExW(0, wc.lpszClassName, L"", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                  wc.hInstance, this);
        ShowWindow(window_, SW_SHOWNOACTIVATE);
        Drain();
        paints = keys = clicks = posted = 0;
    }
    ~CountingWindow() { DestroyWindow(window_); }
    CountingWindow(const CountingWindow&) = delete;
    CountingWindow& operator=(const CountingWindow&) = delete;
    HWND Handle() const { return window_; }

    // Lets every message of the thread run, as the window's own loop would.
    static void Drain()
    {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM w, LPARAM l)
    {
        if (message == WM_NCCREATE)
            SetWindowLongPtrW(window, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams));
        auto* self = reinterpret_cast<CountingWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self != nullptr) {
            switch (message) {
            case WM_PAINT: {
                PAINTSTRUCT ps;
                BeginPaint(window, &ps);
                EndPaint(window, &ps);
                ++self->paints;
                return 0;
            }
            case WM_KEYDOWN: ++self->keys; return 0;
            case WM_LBUTTONDOWN: ++self->clicks; return 0;
            case WM_APP: ++self->posted; return 0;
            default: break;
            }
        }
        return DefWindowProcW(window, message, w, l);
    }

    HWND window_ = nullptr;
};

class BusyServer : public ::testing::Test {
protected:
    ComApartment apartment;
    ScriptedServer server;
    std::shared_ptr<DispatchSession> session = std::make_shared<DispatchSession>();
    std::vector<bool> reports;

    void SetUp() override
    {
        session->retryFor = std::chrono::milliseconds(2000);
        session->waitReport = [this](bool waiting) { reports.push_back(waiting); };
    }
    DispatchObject Object() { return DispatchObject(static_cast<IDispatch*>(&server), session, u"Server"); }
};

TEST_F(BusyServer, ACallAskedToBeRepeatedIsRetriedWhileTheReportIsTold)
{
    const struct {
        const char* what;
        std::deque<Answer> script;
    } cases[] = {
        {"SERVERCALL_RETRYLATER", {Answer::RetryLater, Answer::RetryLater, Answer::RetryLater}},
        {"0x800AC472 raised from the call", {Answer::ObjectModelBusyRaised, Answer::ObjectModelBusyRaised}},
        {"0x800AC472 returned", {Answer::ObjectModelBusyReturned}},
        {"both, one after the other", {Answer::RetryLater, Answer::ObjectModelBusyRaised}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        server.script = c.script;
        server.invocations = 0;
        reports.clear();
        const auto start = Clock::now();
        EXPECT_EQ(Object().Number(u"Value"), 42);
        const auto waited = Clock::now() - start;
        EXPECT_EQ(server.invocations, static_cast<int>(c.script.size()) + 1);
        // One report before every pause, then one when the call has ended.
        std::vector<bool> expected(c.script.size(), true);
        expected.push_back(false);
        EXPECT_EQ(reports, expected);
        EXPECT_GE(waited, kBusyRetryPause * static_cast<int>(c.script.size()) - std::chrono::milliseconds(20));
    }
}

TEST_F(BusyServer, ARejectedCallIsFinalAtOnceAndAServerBusyForGoodIsGivenUpAfterTheRetryTime)
{
    server.script = {Answer::Rejected};
    auto start = Clock::now();
    EXPECT_THROW(Object().Number(u"Value"), ServerBusyError);
    EXPECT_LT(Clock::now() - start, kBusyRetryPause);
    EXPECT_EQ(server.invocations, 1) << "a rejected call is not asked again";
    EXPECT_TRUE(reports.empty()) << "nothing waited";

    server.invocations = 0;
    server.busyForGood = true;
    session->retryFor = std::chrono::milliseconds(500);
    start = Clock::now();
    EXPECT_THROW(Object().Number(u"Value"), ServerBusyError);
    const auto waited = Clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(480));
    EXPECT_LT(waited, std::chrono::milliseconds(2000));
    EXPECT_GE(server.invocations, 3);
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back(), false) << "the report hears that the call has ended, also when it was given up";
    EXPECT_EQ(std::count(reports.begin(), reports.end(), false), 1);
}

// What arrives while a call waits: a repaint, a key, a click, a message of the program's own.
void ArriveWhileWaiting(HWND window)
{
    InvalidateRect(window, nullptr, TRUE);
    PostMessageW(window, WM_KEYDOWN, 'A', 0);
    PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    PostMessageW(window, WM_APP, 0, 0);
}

TEST_F(BusyServer, WhileACallWaitsTheWindowPaintsAndItsInputActsNeverAfterTheCall)
{
    CountingWindow window;
    server.script = {Answer::RetryLater, Answer::RetryLater, Answer::RetryLater};
    CountingWindow::Snapshot atEnd;
    int pauses = 0;
    session->waitReport = [&](bool waiting) {
        if (waiting && ++pauses == 1)
            ArriveWhileWaiting(window.Handle());
        else if (!waiting)
            atEnd = CountingWindow::Counts(window);
    };
    EXPECT_EQ(Object().Number(u"Value"), 42);
    EXPECT_GE(atEnd.paints, 1) << "the window paints while the call waits";
    EXPECT_EQ(atEnd.posted, 1);
    EXPECT_EQ(atEnd.keys, 0) << "a key reaches no window while the call waits";
    EXPECT_EQ(atEnd.clicks, 0) << "a click reaches no window while the call waits";
    CountingWindow::Drain();
    EXPECT_EQ(window.keys, 0) << "nor once the call has ended";
    EXPECT_EQ(window.clicks, 0);
}

TEST_F(BusyServer, AFrontEndTakesTheInputThatArrivedWhileACallWaitsWhenTheReportIsTold)
{
    CountingWindow window;
    server.script = {Answer::RetryLater, Answer::RetryLater, Answer::RetryLater};
    int pauses = 0, keysTaken = -1;
    session->waitReport = [&](bool waiting) {
        if (!waiting)
            return;
        ++pauses;
        if (pauses == 1) {
            ArriveWhileWaiting(window.Handle());
        } else if (pauses == 2) {
            CountingWindow::Drain(); // the front end lets its messages run, behind its own guard
            keysTaken = window.keys;
        }
    };
    EXPECT_EQ(Object().Number(u"Value"), 42);
    EXPECT_EQ(keysTaken, 1);
    EXPECT_EQ(window.clicks, 1);
}

// The key A pressed and released at the keyboard, into the window that has the focus.
void PressKey()
{
    INPUT keys[2]{};
    keys[0].type = keys[1].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = keys[1].ki.wVk = 'A';
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, keys, sizeof(INPUT));
}

TEST_F(BusyServer, AKeyPressedWhileACallWaitsActsNeverAfterTheCall)
{
    CountingWindow window;
    SetForegroundWindow(window.Handle());
    SetFocus(window.Handle());
    PressKey();
    Sleep(200);
    CountingWindow::Drain();
    if (window.keys != 1)
        GTEST_SKIP() << "keyboard input does not reach a window of this process here";
    window.keys = 0;

    server.script = {Answer::RetryLater, Answer::RetryLater, Answer::RetryLater};
    int pauses = 0, keysAtEnd = -1;
    session->waitReport = [&](bool waiting) {
        if (waiting && ++pauses == 1)
            PressKey();
        else if (!waiting)
            keysAtEnd = window.keys;
    };
    EXPECT_EQ(Object().Number(u"Value"), 42);
    EXPECT_EQ(keysAtEnd, 0);
    CountingWindow::Drain();
    EXPECT_EQ(window.keys, 0);
}

TEST(PauseWithMessages, KeepsAQuitMessageForTheWindowsOwnLoop)
{
    PostQuitMessage(7);
    PauseWithMessages(std::chrono::milliseconds(30));
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 7u);
}

// The filter registered on this thread, taken from the system and put back.
IMessageFilter* RegisteredFilter()
{
    IMessageFilter* ours = nullptr;
    CoRegisterMessageFilter(nullptr, &ours);
    IMessageFilter* none = nullptr;
    CoRegisterMessageFilter(ours, &none);
    return ours; // one reference, the caller's
}

TEST_F(BusyServer, TheMessageFilterAsksAgainAfterAPauseOnlyWhatTheServerAsksToRepeatLater)
{
    const RetryMessageFilter filter(*session);
    IMessageFilter* registered = RegisteredFilter();
    ASSERT_NE(registered, nullptr);
    const DWORD cancel = static_cast<DWORD>(-1);

    const auto start = Clock::now();
    EXPECT_EQ(registered->RetryRejectedCall(nullptr, 0, SERVERCALL_RETRYLATER), 0u) << "asked again at once, after";
    EXPECT_GE(Clock::now() - start, kBusyRetryPause - std::chrono::milliseconds(20)) << "the session's pause";
    EXPECT_EQ(reports, std::vector<bool>{true});
    session->EndWait();
    EXPECT_EQ(reports, (std::vector<bool>{true, false}));

    reports.clear();
    EXPECT_EQ(registered->RetryRejectedCall(nullptr, 0, SERVERCALL_REJECTED), cancel) << "rejected is final";
    EXPECT_EQ(registered->RetryRejectedCall(nullptr, static_cast<DWORD>(session->retryFor.count()), SERVERCALL_RETRYLATER),
              cancel)
        << "given up after the retry time";
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(registered->MessagePending(nullptr, 0, PENDINGTYPE_TOPLEVEL), static_cast<DWORD>(PENDINGMSG_WAITDEFPROCESS));
    registered->Release();
}

} // namespace
} // namespace gridvane
