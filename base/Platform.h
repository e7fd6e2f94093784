#pragma once
#include <filesystem>

namespace gridvane {

/// The full path of the running program's executable. Throws Error when the system cannot tell it.
std::filesystem::path ExecutablePath();
/// The decimal separator of the user's locale; the full stop when the locale gives none.
char16_t UserDecimalSeparator();
/// True when standard error is a terminal (a console), so progress can be shown there.
bool StandardErrorIsTerminal();

} // namespace gridvane
