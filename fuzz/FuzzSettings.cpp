// Bytes of a settings file -> load -> save -> load again gives the same settings.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "settings/Settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("gridvane-fuzz-" + std::to_string(getpid()) + ".ini");
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    const gridvane::TSettings first = gridvane::LoadSettings(path, u'.');
    gridvane::SaveSettings(path, first, u'.');
    const gridvane::TSettings again = gridvane::LoadSettings(path, u'.');
    if (!(again == first) && size < 1024 * 1024) std::abort(); // a save must read back as written
    return 0;
}
