#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "base/CallWait.h"

namespace gridvane {

/// A 128-bit class or interface identifier, laid out like the system's GUID.
struct Guid {
    std::uint32_t data1 = 0;
    std::uint16_t data2 = 0;
    std::uint16_t data3 = 0;
    std::array<std::uint8_t, 8> data4{};

    friend bool operator==(const Guid&, const Guid&) = default;
};

/// The registry form of a GUID, "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper case.
std::string FormatGuid(const Guid& guid);

/// The ProgID under which the CAD registers its automation server.
inline constexpr std::u16string_view kCadProgId = u"BricscadApp.AcadApplication";
/// The automation interface IDispatch, {00020400-0000-0000-C000-000000000046}.
inline constexpr Guid kIidDispatch{0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
/// The CAD application's dual automation interface, {D48F17B7-773E-4238-A6C6-B2BBEBAA9A1E}.
inline constexpr Guid kIidCadApplication{0xD48F17B7, 0x773E, 0x4238, {0xA6, 0xC6, 0xB2, 0xBB, 0xEB, 0xAA, 0x9A, 0x1E}};

/// The outcome of one automation call: success, or a failure with its description for a person (UTF-8);
/// busy when the CAD did not take the call because it is busy (rejected it, or asked to repeat it later
/// for the whole retry time).
struct CadStatus {
    bool ok = true;
    std::string description;
    bool busy = false;

    static CadStatus Success() { return {}; }
    static CadStatus Failure(std::string description) { return {false, std::move(description)}; }
    static CadStatus Busy(std::string description) { return {false, std::move(description), true}; }
};

/// An opaque reference to an object of the automation server; 0 is no object.
using CadRef = std::uintptr_t;

/// The operations the program performs on the running CAD, in the order it performs them.
/// Every reference handed out through an out-parameter must be given back through Release.
class CadAutomation {
public:
    virtual ~CadAutomation() = default;

    /// Looks up the class identifier registered for progId.
    virtual CadStatus ClassIdFromProgId(std::u16string_view progId, Guid& classId) = 0;
    /// Asks the running-object table for the active instance of classId.
    virtual CadStatus ActiveObject(const Guid& classId, CadRef& object) = 0;
    /// Asks object for the interface iid.
    virtual CadStatus QueryInterface(CadRef object, const Guid& iid, CadRef& result) = 0;
    /// Reads the application's HWND property, the handle of its main window.
    virtual CadStatus ReadHwnd(CadRef application, std::intptr_t& hwnd) = 0;
    /// Brings the window hwnd to the front; the outcome is of no interest.
    virtual void SetForegroundWindow(std::intptr_t hwnd) = 0;
    /// Runs command at the application's command line as if typed there.
    virtual CadStatus SendCommand(CadRef application, std::u16string_view command) = 0;
    /// Gives back a reference obtained from one of the calls above.
    virtual void Release(CadRef object) = 0;
};

/// Holds one reference of a CadAutomation and releases it when it goes out of scope.
class CadReference {
public:
    CadReference(CadAutomation& automation, CadRef ref) : automation_(&automation), ref_(ref) {}
    CadReference(CadReference&& other) noexcept : automation_(other.automation_), ref_(other.ref_) { other.ref_ = 0; }
    CadReference(const CadReference&) = delete;
    CadReference& operator=(const CadReference&) = delete;
    CadReference& operator=(CadReference&&) = delete;
    ~CadReference()
    {
        if (ref_ != 0)
            automation_->Release(ref_);
    }

    CadRef Get() const { return ref_; }

private:
    CadAutomation* automation_;
    CadRef ref_;
};

/// The automation of the running CAD on this platform: COM on Windows, the stand-in elsewhere. waitReport
/// is told while a call waits for the CAD to be free.
std::unique_ptr<CadAutomation> MakeCadAutomation(CallWaitReport waitReport = {});

} // namespace gridvane
