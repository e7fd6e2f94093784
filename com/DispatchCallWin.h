#pragma once
// Windows only; internal to the COM backends (DispatchObject, the CAD's automation): one late-bound call
// with the system's types, without exceptions. Member identifiers are kept by the session, a call the
// server asks to repeat later is asked again for the session's retry time (the session's report told while
// it waits), and a failure is described.
#include <windows.h>
#include <oaidl.h>

#include <string>
#include <string_view>

#include "com/DispatchWin.h"

namespace gridvane {

/// The identifier of member name on objects of kind, looked up once per session.
HRESULT FindMemberId(DispatchSession& session, IDispatch* object, const std::u16string& kind, std::u16string_view name,
                     DISPID& id);

/// Calls member id of object with params; result, when given, receives the value. A call refused for the
/// locale's language is made once more in 1033, which the session keeps from then on. On failure
/// description holds the server's own description of it, when it gave one (else it is empty); a server that
/// raises its busy state as an exception (kObjectModelBusy) counts as busy, and the exception's code is
/// the result.
HRESULT InvokeMember(DispatchSession& session, IDispatch* object, DISPID id, WORD flags, DISPPARAMS& params,
                     VARIANT* result, std::string& description);

/// The text of a failed call for a person: the server's description when it gave one, else the system's.
std::string CallFailureText(HRESULT code, const std::string& description);

} // namespace gridvane
