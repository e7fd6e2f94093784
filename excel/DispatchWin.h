#pragma once
// Late-bound automation on Windows: members of a running server's objects called by name.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

namespace gridvane {

/// COM initialised on the calling thread for the life of the object (balanced on destruction).
class ComApartment {
public:
    ComApartment();
    ~ComApartment();
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool initialized_ = false;
};

/// An argument of an automation call: an integer or a text.
using DispatchArg = std::variant<std::int32_t, std::u16string>;
/// A cell value: empty, a number, a text or a Boolean.
using DispatchValue = std::variant<std::monostate, double, std::u16string, bool>;

/// One reference to an automation object, released on destruction. Every call passes the user's
/// default locale and throws Error naming the member and carrying the server's or the system's
/// description when it fails.
class DispatchObject {
public:
    DispatchObject() = default;
    /// Takes over one reference to an IDispatch (given as void* to keep system types out of here).
    explicit DispatchObject(void* dispatch) : dispatch_(dispatch) {}
    DispatchObject(DispatchObject&& other) noexcept : dispatch_(other.dispatch_) { other.dispatch_ = nullptr; }
    DispatchObject& operator=(DispatchObject&& other) noexcept;
    DispatchObject(const DispatchObject&) = delete;
    DispatchObject& operator=(const DispatchObject&) = delete;
    ~DispatchObject();

    /// The running object registered for progId, as an automation object. Throws Error when the class
    /// is not registered, no instance is running or the object is not an automation object.
    static DispatchObject AttachRunning(std::u16string_view progId);

    /// True when this holds an object.
    explicit operator bool() const { return dispatch_ != nullptr; }
    /// The underlying IDispatch pointer, still owned by this object.
    void* Get() const { return dispatch_; }

    /// A property that is an object (Worksheet.Range(address), Range.Borders(8), Application.Selection).
    DispatchObject Object(std::u16string_view name, std::initializer_list<DispatchArg> args = {}) const;
    /// A numeric property; empty counts as 0; null, an error value or a non-number throws.
    double Number(std::u16string_view name, std::initializer_list<DispatchArg> args = {}) const;
    /// A text property; empty gives the empty text; null or an error value throws.
    std::u16string Text(std::u16string_view name, std::initializer_list<DispatchArg> args = {}) const;
    /// A Boolean property: true only when the server reports true.
    bool Boolean(std::u16string_view name, std::initializer_list<DispatchArg> args = {}) const;
    /// A value property (Range.Value2): empty, number, text or Boolean; null or an error value throws.
    DispatchValue Value(std::u16string_view name, std::initializer_list<DispatchArg> args = {}) const;
    /// Writes a Boolean property (Application.ScreenUpdating).
    void Put(std::u16string_view name, bool value, std::initializer_list<DispatchArg> args = {}) const;

private:
    void* dispatch_ = nullptr;
};

} // namespace gridvane
