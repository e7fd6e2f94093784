#pragma once
// Windows only.
#include <cstdint>
#include <string>

namespace gridvane {

/// The system's description of a failure code (an HRESULT or a Win32 error) in the user's language,
/// UTF-8 without the trailing line break; "エラー 0x…" when the system has none.
std::string SystemErrorText(std::int32_t code);

} // namespace gridvane
