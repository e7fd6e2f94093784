#include "app/ConvertInput.h"

#include <algorithm>
#include <cctype>

#include <cstdio>
#include <iostream>

#include "base/Error.h"
#include "base/Platform.h"
#include "base/Utf.h"
#include "excel/ExcelImport.h"
#ifdef _WIN32
#include "com/ComApartmentWin.h"
#include "excel/ExcelAutomationWin.h"
#else
#include "calc/CalcApplication.h"
#include "xlsx/XlsxApplication.h"
#endif
#include "model/TableFile.h"

namespace gridvane {

namespace {

std::string LowerExtension(const std::filesystem::path& path)
{
    std::string ext = PathToUtf8(path.extension());
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

InputTable ReadTableFileInput(const ConvertOptions& options)
{
    TableFileContents contents = ReadTableFile(options.input);
    return {std::move(contents.table), std::move(contents.texts), "table file"};
}

// The import's view without a window: the grid texts the drawing takes, progress on a terminal, and
// the import's messages kept (the reason it gives is printed in English).
class ConsoleView : public HeadlessImportView {
public:
    explicit ConsoleView(bool progress) : progress_(progress) {}

    std::vector<std::u16string> messages;

    void SetLabel4(std::u16string_view text) override
    {
        if (progress_)
            std::cerr << "\r" << ToUtf8(text) << "   " << std::flush;
    }
    void ShowMessage(std::u16string_view text) override { messages.emplace_back(text); }

private:
    bool progress_;
};

InputTable ReadWorkbookInput(const ConvertOptions& options, const TSettings& settings, char16_t separator)
{
#ifdef _WIN32
    // Windows reads workbooks through the running spreadsheet.
    (void)settings;
    (void)separator;
    throw Error(PathToUtf8(options.input) +
                ": on Windows, workbooks are read from the running spreadsheet: select the cells in Excel and "
                "run gridvane-convert --excel");
#else
    WorkbookChoice choice;
    if (options.sheet)
        choice.sheet = FromUtf8(*options.sheet);
    if (options.range)
        choice.range = FromUtf8(*options.range);
    const std::filesystem::path path = options.input;
    ConsoleView view(StandardErrorIsTerminal());
    InputTable input;
    const ImportScales scales{settings.colXsc, settings.rowYsc, settings.cadXsc, settings.cadYsc, settings.cadTsc};
    const ImportResult result =
        ImportSelection([&] { return OpenWorkbookAsApplication(path, choice); }, view, input.table, scales, separator);
    if (StandardErrorIsTerminal())
        std::cerr << "\r";
    if (!result.ok) {
        // The import's reason in English, where the window shows its Japanese messages.
        const std::string name = PathToUtf8(options.input);
        throw Error(result.reason.find(name) == std::string::npos ? name + ": " + result.reason : result.reason);
    }
    input.texts = std::move(view.texts);
    input.description = "selection of the workbook";
    return input;
#endif
}

// The running spreadsheet's selection, imported as the window imports it: the window's messages go to
// standard error in the order the window shows them, the last of a failed import as the error.
InputTable ReadRunningInput(const XlAttach& attach, const TSettings& settings, char16_t separator)
{
    ConsoleView view(StandardErrorIsTerminal());
    InputTable input;
    const ImportScales scales{settings.colXsc, settings.rowYsc, settings.cadXsc, settings.cadYsc, settings.cadTsc};
    const ImportResult result = ImportSelection(attach, view, input.table, scales, separator);
    if (StandardErrorIsTerminal())
        std::cerr << "\r";
    const std::size_t shown = result.ok || view.messages.empty() ? view.messages.size() : view.messages.size() - 1;
    for (std::size_t i = 0; i < shown; ++i)
        std::cerr << "gridvane-convert: " << ToUtf8(view.messages[i]) << "\n";
    if (!result.ok) {
        std::string message = view.messages.empty() ? std::string("取得に失敗しました.") : ToUtf8(view.messages.back());
        bool told = false;
        for (const std::u16string& m : view.messages)
            told = told || m == result.detail;
        if (!told && !result.detail.empty())
            message += " (" + ToUtf8(result.detail) + ")";
        throw Error(message);
    }
    input.texts = std::move(view.texts);
    input.description = "selection of the running spreadsheet";
    return input;
}

InputTable ReadExcelInput(const TSettings& settings, char16_t separator)
{
#ifdef _WIN32
    const ComApartment apartment; // the window's thread has one; the converter's main thread needs its own
    return ReadRunningInput([] { return AttachRunningExcel(); }, settings, separator);
#else
    (void)settings;
    (void)separator;
    throw Error("--excel reads the running spreadsheet on Windows only; here, give the workbook file as INPUT "
                "or import from a running LibreOffice Calc with --calc");
#endif
}

InputTable ReadCalcInput(const TSettings& settings, char16_t separator)
{
#ifdef _WIN32
    (void)settings;
    (void)separator;
    throw Error("--calc reads a running LibreOffice Calc on Linux only; here, use --excel");
#else
    return ReadRunningInput([] { return AttachRunningCalc(); }, settings, separator);
#endif
}

} // namespace

InputTable ReadInput(const ConvertOptions& options, const TSettings& settings, char16_t decimalSeparator)
{
    if (options.excel)
        return ReadExcelInput(settings, decimalSeparator);
    if (options.calc)
        return ReadCalcInput(settings, decimalSeparator);
    const std::string ext = LowerExtension(options.input);
    if (ext == ".xlsx" || ext == ".xlsm")
        return ReadWorkbookInput(options, settings, decimalSeparator);
    if (options.sheet || options.range)
        throw Error("--sheet and --range apply to workbooks (.xlsx, .xlsm), not to " + PathToUtf8(options.input));
    return ReadTableFileInput(options);
}

} // namespace gridvane
