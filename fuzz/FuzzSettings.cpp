// Bytes of a settings file -> load -> save -> load: a save keeps 15 significant digits, so the first save
// may round a longer number, and from then on saving and loading change nothing.
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
    const gridvane::TSettings second = gridvane::LoadSettings(path, u'.');
    gridvane::SaveSettings(path, second, u'.');
    const gridvane::TSettings third = gridvane::LoadSettings(path, u'.');
    if (!(third == second) && size < 1024 * 1024) std::abort(); // a saved file must read back as written
    return 0;
}
