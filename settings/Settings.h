#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>

namespace gridvane {

/// The nine settings under their .ini key names, with the defaults used when the file lacks them.
struct TSettings {
    double colXsc = 20;              // grid pixels per column-width unit
    double rowYsc = 3;               // grid pixels per point of row height
    double cadXsc = 3;               // drawing units per column-width unit
    double cadYsc = 0.43;            // drawing units per point of row height
    double cadTsc = 0.27;            // drawing units per point of font size
    double cadTof = 0.8;             // text inset, multiple of the text height
    std::int32_t cellLineColor = 252;
    bool cellLineDraw = true;
    std::int32_t xlsVerNum = 16;

    bool operator==(const TSettings&) const = default;
};

/// Values taken when a settings-page edit box does not parse.
struct TSettingsFallbacks {
    static constexpr double colXsc = 20;
    static constexpr double rowYsc = 3;
    static constexpr double cadXsc = 10;
    static constexpr double cadYsc = 1.5;
    static constexpr double cadTsc = 0.8;
    static constexpr double cadTof = 0.4;
    static constexpr std::int32_t cellLineColor = 256;
};

/// Where the main window was, to be shown there again at the next start (section "Window" of the settings
/// file): the frame's top-left corner in screen coordinates, the client area's size in pixels at 96 dots per
/// inch, and whether it was maximized.
struct TWindowPlacement {
    std::int32_t left = 0, top = 0;
    std::int32_t width = 0, height = 0;
    bool maximized = false;
    bool operator==(const TWindowPlacement&) const = default;
};

/// A whole text as a 32-bit integer, as the settings file reads one: decimal, or hexadecimal after "0x"
/// (0xFFFFFFFF is -1); blanks around it allowed. Nothing when it is not one.
std::optional<std::int32_t> ParseSettingsInteger(std::u16string_view text);

/// Reads section "PlotraTlsx" of iniPath; a missing file, section, key or a bad value gives the default. Never throws.
TSettings LoadSettings(const std::filesystem::path& iniPath, char16_t decimalSeparator);
/// The window's place from section "Window" of iniPath; nothing when the file lacks it or a size is not positive.
std::optional<TWindowPlacement> LoadWindowPlacement(const std::filesystem::path& iniPath);
/// Writes the nine keys in order, and the window's place when there is one in a section of its own after
/// them, keeping the rest of an existing file; replaces the file atomically.
/// Throws Error("<path> に書き込めません") when it cannot be written.
void SaveSettings(const std::filesystem::path& iniPath, const TSettings& settings, char16_t decimalSeparator,
                  const std::optional<TWindowPlacement>& window = std::nullopt);

} // namespace gridvane
