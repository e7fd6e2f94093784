#pragma once
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace gridvane {

/// What the command line of gridvane-convert asks for.
struct ConvertOptions {
    std::filesystem::path input;
    std::filesystem::path output;                    // INPUT with the extension .dxf unless given
    std::optional<std::string> dumpModel;            // "-" is standard output (UTF-8 as given)
    std::optional<std::filesystem::path> settings;   // a settings file of the window's format
    std::optional<std::string> sheet;                // workbooks: the sheet to import
    std::optional<std::string> range;                // workbooks: the range to import
    bool excel = false;                              // --excel: the running spreadsheet's selection (Windows)
    bool calc = false;                               // --calc: the running LibreOffice Calc's selection (Linux)
    bool noCellLines = false;
    bool help = false;
    bool version = false;
};

/// What messages call the input of --excel.
inline constexpr const char* kExcelInputName = "Excel.Application";
/// What messages call the input of --calc.
inline constexpr const char* kCalcInputName = "LibreOffice Calc";

/// A command line that cannot be understood; the converter exits 2 with this message.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// A path from its UTF-8 spelling.
std::filesystem::path PathFromUtf8(const std::string& text);
/// The UTF-8 spelling of a path, for messages.
std::string PathToUtf8(const std::filesystem::path& path);

/// Parses the arguments after the program name (UTF-8). Throws UsageError for a wrong command line.
ConvertOptions ParseConvertOptions(const std::vector<std::string>& args);
/// The text of --help.
std::string ConvertUsage();

} // namespace gridvane
