#pragma once
// Windows only. Late-bound automation: members of a running server's objects called by name, across
// processes. The dispatch identifiers are looked up once per object kind and member name; calls the
// server asks to repeat later are retried for a bounded time, and whoever waits is told; a locale the
// server refuses is replaced by 1033.
#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "base/CallWait.h"
#include "base/Error.h"

namespace gridvane {

/// Why attaching to a running server failed.
enum class AttachFailure {
    NotInstalled, // the ProgID names no registered class
    NotRunning,   // no instance is in the running-object table, and no window of it exists
    Unreachable,  // it runs (its main window exists) but cannot be reached, e.g. it runs with higher rights
};

/// A failed attach: the system's description in what(), and the kind of failure.
class AttachError : public Error {
public:
    AttachError(AttachFailure why, const std::string& message) : Error(message), failure(why) {}
    AttachFailure failure;
};

/// A call the server did not take because it is busy: rejected (SERVERCALL_REJECTED, final), or asked to be
/// repeated later for the whole retry time.
class ServerBusyError : public Error {
public:
    using Error::Error;
};

/// What the objects of one automation session share: the dispatch identifiers found so far (per object
/// kind and member name), the locale the server accepts, how long calls the server asks to repeat later are
/// retried and whom to tell while one waits, and the number of calls made.
class DispatchSession {
public:
    /// A session in the user's default locale, retrying for 10 s, telling nobody.
    DispatchSession();

    std::chrono::milliseconds retryFor{std::chrono::seconds(10)};
    CallWaitReport waitReport;        // told while a call waits for the busy server (may be empty)
    std::uint32_t locale;             // the user's default locale; 1033 once the server refused it
    long nameLookups = 0;             // GetIDsOfNames calls made
    long invocations = 0;             // Invoke calls made
    std::map<std::u16string, long> ids; // "Kind.Member" -> DISPID

    /// One pause of a call the server asked to repeat later: tells waitReport that the call waits, then lets
    /// the thread's window messages but its input run for kBusyRetryPause (PauseWithMessages).
    void PauseWhileBusy();
    /// The call has ended: when it had waited, drops the keyboard and mouse input still queued (what the
    /// report did not take: a click made while the call waited must not act once it has ended) and tells
    /// waitReport so, once.
    void EndWait();

private:
    bool waiting_ = false; // a call waits: waitReport was told so and not yet told that it ended
};

/// An argument of an automation call: an integer or a text.
using DispatchArg = std::variant<std::int32_t, std::u16string>;
/// The null value (VT_NULL): a property whose cells differ.
struct DispatchNull {
    bool operator==(const DispatchNull&) const = default;
};
/// An error value (VT_ERROR): the spreadsheet's cell error number (2007 for #DIV/0!, from 0x800A07D7).
struct DispatchError {
    std::int32_t code = 0;
    bool operator==(const DispatchError&) const = default;
};
/// A value as a property answers it: empty, a number, a text, a Boolean, null or an error value.
using DispatchValue = std::variant<std::monostate, double, std::u16string, bool, DispatchNull, DispatchError>;
/// A two-dimensional array of values (Range.Value2 of several cells), row by row.
struct DispatchValues {
    std::int32_t rows = 0, cols = 0;
    std::vector<DispatchValue> values;
};

/// One reference to an automation object of a given kind ("Range", "Application", ...), released on
/// destruction. Every call throws Error naming the member and carrying the server's or the system's
/// description when it fails, and ServerBusyError when the server did not take it because it is busy.
class DispatchObject {
public:
    /// No object.
    DispatchObject() = default;
    /// Takes over one reference to an IDispatch (given as void* to keep system types out of here); a new
    /// session is made when none is given.
    explicit DispatchObject(void* dispatch, std::shared_ptr<DispatchSession> session = nullptr,
                            std::u16string kind = {});
    /// Takes over other's reference.
    DispatchObject(DispatchObject&& other) noexcept;
    /// Releases the reference held and takes over other's.
    DispatchObject& operator=(DispatchObject&& other) noexcept;
    DispatchObject(const DispatchObject&) = delete;
    DispatchObject& operator=(const DispatchObject&) = delete;
    /// Releases the reference held.
    ~DispatchObject();

    /// The running object registered for progId, as an automation object of kind of session (a new one when
    /// none is given). Throws AttachError: not installed when the class is not registered; unreachable when
    /// no instance can be had although a top-level window of windowClass exists (or the instance refuses
    /// us); not running otherwise.
    static DispatchObject AttachRunning(std::u16string_view progId, std::u16string kind = {},
                                        std::u16string_view windowClass = {},
                                        std::shared_ptr<DispatchSession> session = nullptr);
    /// The object of the native object model that the window (an HWND) gives through its accessibility
    /// interface (AccessibleObjectFromWindow with OBJID_NATIVEOM), as an automation object of kind of
    /// session; throws Error when the window gives none, and when its program does not answer (hung).
    static DispatchObject FromNativeWindow(void* window, std::u16string kind,
                                           std::shared_ptr<DispatchSession> session = nullptr);

    /// True when this holds an object.
    explicit operator bool() const { return dispatch_ != nullptr; }
    /// The underlying IDispatch pointer, still owned by this object.
    void* Get() const { return dispatch_; }
    /// The session this object's calls belong to.
    const std::shared_ptr<DispatchSession>& Session() const { return session_; }
    /// The object kind its member identifiers are kept under.
    const std::u16string& Kind() const { return kind_; }

    /// Looks up the identifier of member name now (once per kind), so that a later call needs no look-up.
    void Prepare(std::u16string_view name) const;
    /// A property that is an object of kind (Worksheet.Range(address), Borders.Item(8), Application.Selection);
    /// kind defaults to the member's name.
    DispatchObject Object(std::u16string_view name, std::initializer_list<DispatchArg> args = {},
                          std::u16string_view kind = {}) const;
    /// A numeric property; empty counts as 0; null, an error value or a non-number throws.
    double Number(std::u16string_view name, std::initializer_list<DispatchArg> args = {}) const;
    /// A text property; empty gives the empty text; null or an error value throws.
    std::u16string Text(std::u16string_view name, std::initializer_list<DispatchArg> args = {}) const;
    /// A Boolean property: true only when the server reports true.
    bool Boolean(std::u16string_view name, std::initializer_list<DispatchArg> args = {}) const;
    /// A value property (Range.Value2): empty, number, text or Boolean; null or an error value throws.
    DispatchValue Value(std::u16string_view name, std::initializer_list<DispatchArg> args = {}) const;
    /// A property as it answers, null and error values included; throws for an object or an array.
    DispatchValue Any(std::u16string_view name, std::initializer_list<DispatchArg> args = {}) const;
    /// A property that answers a two-dimensional array of values (Range.Value2 of several cells; one value
    /// is an array of one); throws for any other answer.
    DispatchValues Values(std::u16string_view name, std::initializer_list<DispatchArg> args = {}) const;
    /// Writes a Boolean property (Application.ScreenUpdating).
    void Put(std::u16string_view name, bool value, std::initializer_list<DispatchArg> args = {}) const;
    /// Calls a method whose result is of no interest (Document.SendCommand(text)).
    void Call(std::u16string_view name, std::initializer_list<DispatchArg> args = {}) const;

private:
    void* dispatch_ = nullptr;
    std::shared_ptr<DispatchSession> session_;
    std::u16string kind_;
};

} // namespace gridvane
