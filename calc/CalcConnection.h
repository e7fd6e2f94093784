#pragma once
// The UNO connection to a running office: the bridge over the user's pipe, every call counted and bounded
// in time. Internal to calc/: UNO headers are included here.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <optional>
#include <mutex>
#include <string>
#include <thread>

#include <com/sun/star/bridge/XBridge.hpp>
#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/uno/Exception.hpp>
#include <com/sun/star/uno/Any.hxx>
#include <com/sun/star/uno/Reference.hxx>
#include <com/sun/star/uno/RuntimeException.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>
#include <rtl/ustring.hxx>

#include "base/Error.h"
#include "base/Utf.h"
#include "calc/CalcApplication.h"

namespace gridvane::calc {

namespace css = com::sun::star;
using css::uno::Reference;

/// UTF-16 from a UNO string, and back.
inline std::u16string FromOUString(const rtl::OUString& s)
{
    return std::u16string(reinterpret_cast<const char16_t*>(s.getStr()), static_cast<std::size_t>(s.getLength()));
}
inline rtl::OUString ToOUString(std::u16string_view s)
{
    return rtl::OUString(reinterpret_cast<const sal_Unicode*>(s.data()), static_cast<sal_Int32>(s.size()));
}
inline rtl::OUString AsciiOUString(const std::string& s) { return rtl::OUString::createFromAscii(s.c_str()); }

/// A failure of the connection in the user's words: shown before the import's own failure message.
[[noreturn]] void ThrowUserMessage(std::u16string_view text);

/// This user's office profile as a URL, as the office works it out.
rtl::OUString DefaultUserInstallation();
/// True when an office of the profile runs: the pipe on which it takes later invocations' command
/// lines accepts a connection.
bool InstanceRunning(const rtl::OUString& userInstallation);

/// The calls of a connection run on a thread of their own, so that a call the office does not answer
/// can be given up at the deadline: the thread stays behind until the office answers or goes away,
/// holding only what it shares with the connection here.
struct CallThread {
    std::mutex mutex;
    std::condition_variable wake;
    std::function<void()> task; // the call under way, empty when idle
    bool finished = false;      // the task has run
    bool stop = false;          // the connection is gone: end when idle
};

/// The connection to one running office, held for one import.
class Connection {
public:
    /// Reaches the office on options' pipe, asking a running instance that does not listen yet to listen.
    /// Throws Error (kCalcNotRunning, kCalcUnreachable) when it cannot.
    explicit Connection(const CalcAttachOptions& options);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    /// The office's component context.
    const Reference<css::uno::XComponentContext>& Remote() const { return remote_; }

    /// Runs one UNO call: counted, and given up when the office gives no answer within the timeout (or
    /// when onWait says so). A failure of the office or the connection becomes XlUserMessage
    /// (kCalcNoAnswer, kCalcClosed); any other UNO exception an Error naming what was asked. A call given
    /// up has ended when this returns: the connection is closed under it and it is awaited, so the
    /// objects it captured may go.
    template <class F>
    auto Call(const char* what, F&& call) -> decltype(call())
    {
        using R = decltype(call());
        ++calls_;
        if constexpr (std::is_void_v<R>) {
            Run(what, [&call] { call(); });
        } else {
            auto answer = std::make_shared<std::optional<R>>();
            Run(what, [&call, answer] { answer->emplace(call()); });
            return std::move(**answer);
        }
    }
    /// The interface T of an object of the office (a call of its own); empty when the object has none.
    template <class T, class From>
    Reference<T> Query(const Reference<From>& object)
    {
        return Call("queryInterface", [&] { return Reference<T>(object, css::uno::UNO_QUERY); });
    }
    /// The interface T held by an answer (a call of its own when the office must be asked for it).
    template <class T>
    Reference<T> Extract(const char* what, const css::uno::Any& any)
    {
        return Call(what, [&] {
            Reference<T> object;
            any >>= object;
            return object;
        });
    }
    long Calls() const { return calls_; }

private:
    void Close();
    // Runs task on the call thread and waits for it at most the timeout; rethrows what it threw.
    void Run(const char* what, std::function<void()> task);
    // Gives up the call under way: closes the bridge, which ends it, and awaits the call thread.
    void Abandon();
    void DisposeBridge();

    std::chrono::milliseconds timeout_;
    std::function<bool(bool)> onWait_;
    Reference<css::bridge::XBridge> bridge_;
    Reference<css::uno::XComponentContext> remote_;
    long calls_ = 0;
    bool abandoned_ = false; // a call was given up: the office is not asked again
    bool calling_ = false;   // a call is under way (onWait may let the window's events run meanwhile)
    std::shared_ptr<CallThread> thread_;
    std::thread worker_;
};

} // namespace gridvane::calc
