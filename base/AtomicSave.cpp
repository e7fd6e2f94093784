#include "base/AtomicSave.h"

namespace gridvane {

void SaveFileAtomically(const std::filesystem::path& path, std::string_view bytes, const SaveMessage& message)
{
    AtomicFile file(path, message);
    file.Write(bytes);
    file.Commit();
}

} // namespace gridvane
