// gridvane-convert: draws a table as the window's "Plotra へ挿入" does, without a window.
#include <clocale>
#include <cstdio>
#include <exception>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif

#include "app/ConvertInput.h"
#include "app/ConvertOptions.h"
#include "base/AtomicSave.h"
#include "base/Error.h"
#include "base/Utf.h"
#include "dxf/DxfEntitySink.h"
#include "layout/TableLayout.h"
#include "model/CellTable.h"
#include "model/TableFile.h"
#include "settings/Settings.h"
#include "textconv/DrawingCodePage.h"

#ifndef GRIDVANE_VERSION
#define GRIDVANE_VERSION "unknown"
#endif

namespace gridvane {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// The arguments as UTF-8, whatever the platform passes.
std::vector<std::string> Utf8Arguments(int argc, char** argv)
{
    std::vector<std::string> args;
#ifdef _WIN32
    (void)argv;
    int count = 0;
    if (wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 1; i < count; ++i)
            args.push_back(ToUtf8(std::u16string(reinterpret_cast<const char16_t*>(wide[i]))));
        LocalFree(wide);
        return args;
    }
#endif
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i]);
    return args;
}

// The user's decimal separator, as the C library's locale names it; numbers in settings files use it.
// Everything this program formats itself uses the full stop, so LC_NUMERIC goes back to "C" at once.
char16_t LocaleDecimalSeparator()
{
    char16_t separator = u'.';
    if (std::setlocale(LC_ALL, "") != nullptr) {
        if (const std::lconv* conv = std::localeconv(); conv != nullptr && conv->decimal_point != nullptr &&
                                                      conv->decimal_point[0] != '\0') {
            const std::u16string s = FromUtf8(conv->decimal_point);
            if (s.size() == 1)
                separator = s[0];
        }
    }
    std::setlocale(LC_NUMERIC, "C");
    return separator;
}

// A named settings file must exist and be readable; inside it, missing or bad keys take their defaults.
TSettings ReadSettings(const std::filesystem::path& path)
{
    const std::string name = PathToUtf8(path);
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
        throw Error(name + ": the settings file does not exist");
    if (std::filesystem::is_directory(path, ec))
        throw Error(name + ": cannot read the settings file: it is a folder");
    std::ifstream probe(path, std::ios::binary);
    char c = 0;
    if (!probe || (!probe.get(c) && probe.bad()))
        throw Error(name + ": cannot read the settings file");
    return LoadSettings(path, LocaleDecimalSeparator());
}

bool SamePath(const std::filesystem::path& a, const std::filesystem::path& b)
{
    std::error_code ec;
    if (std::filesystem::equivalent(a, b, ec))
        return true;
    return std::filesystem::weakly_canonical(a, ec) == std::filesystem::weakly_canonical(b, ec);
}

// Entities per layer and kind, for the summary: the layers by their names as the file holds them.
std::string DescribeDrawing(const std::vector<DxfLayerCount>& counts)
{
    std::map<std::string, std::map<std::string, std::size_t>> byLayer;
    for (const DxfLayerCount& c : counts) {
        auto& kinds = byLayer[ToUtf8(DecodeDrawingText(EncodeDrawingText(c.layer)))];
        for (const auto& [kind, n] : {std::pair{"LINE", c.lines}, {"POLYLINE", c.polylines}, {"TEXT", c.texts}})
            if (n != 0) kinds[kind] += n;
    }
    std::string out;
    for (const auto& [layer, kinds] : byLayer) {
        if (kinds.empty()) continue;
        out += out.empty() ? "" : "; ";
        out += layer + ":";
        for (const auto& [kind, n] : kinds) {
            out += ' ';
            out += std::to_string(n);
            out += ' ';
            out += kind;
        }
    }
    return out.empty() ? "no entities" : out;
}

// A failure of the drawing file itself, told apart from one of the layout that writes it.
class DrawingFileError : public Error {
public:
    using Error::Error;
};

// The drawing's bytes go to its file in pieces of this size as they are made: one buffer, reused.
constexpr std::size_t kDrawingChunk = std::size_t{256} << 10;

int Run(const ConvertOptions& options)
{
    TSettings settings;
    if (options.settings)
        settings = ReadSettings(*options.settings);
    if (options.noCellLines)
        settings.cellLineDraw = false;

    if (SamePath(options.input, options.output))
        throw Error(PathToUtf8(options.output) + ": the drawing would overwrite the input");
    if (options.dumpModel && *options.dumpModel != "-" && SamePath(PathFromUtf8(*options.dumpModel), options.output))
        throw Error(*options.dumpModel + ": the model dump and the drawing cannot be the same file");

    // The table is left to the end of the process, which returns its memory at once: freeing the cells and
    // texts of a large table one by one takes a noticeable part of a conversion. It stays reachable here, so
    // leak checkers do not count it (volatile: a store the program never reads again is still made).
    static InputTable* volatile kept = nullptr;
    kept = new InputTable(ReadInput(options, settings, LocaleDecimalSeparator()));
    InputTable& input = *kept;
    CellTable& table = input.table;
    CalcDrawSize(table, settings.cadXsc, settings.cadYsc, settings.cadTsc);

    // Everything is computed in memory first; a failure there leaves no file behind.
    std::string dump;
    if (options.dumpModel) {
        try {
            dump = TableFileJson(table, input.texts);
        } catch (const Error& e) {
            throw Error(std::string("the model cannot be written: ") + e.what());
        }
    }
    // The drawing is written to a file beside its target while it is laid out; that file takes the target's
    // place only once everything else succeeded, and a failure on the way removes it.
    const bool dumpToStdout = options.dumpModel && *options.dumpModel == "-";
    std::ostream& report = dumpToStdout ? std::cerr : std::cout;
    std::optional<AtomicFile> drawingFile, dumpFile;
    DxfLineList drawing;
    DxfLineListSink sink(drawing);
    bool drawn = false;
    const bool empty = table.Empty() || table.GridColCount <= 0 || table.GridRowCount <= 0;
    if (!empty) {
        const auto fileStep = [](const auto& step) {
            try {
                step();
            } catch (const Error& e) {
                throw DrawingFileError(e.what());
            }
        };
        drawing.StreamTo([&](std::string_view bytes) { fileStep([&] { drawingFile->Write(bytes); }); }, kDrawingChunk);
        try {
            // The file is made once the table has passed the layout's checks, before the first line.
            drawn = LayoutTableTo(table, input.texts, LayoutOptions{settings.cellLineDraw, settings.cadTof}, sink,
                                  [&] { fileStep([&] { drawingFile = CreateDxfFile(options.output); }); });
            if (drawn) fileStep([&] {
                drawing.Flush();
                drawingFile->Finish();
            });
        } catch (const DrawingFileError&) {
            throw;
        } catch (const Error& e) {
            throw Error(PathToUtf8(options.input) + ": the table cannot be drawn: " + e.what() +
                        " (are the scale factors sensible?)");
        }
    }

    if (options.dumpModel && !dumpToStdout) {
        const std::string name = *options.dumpModel;
        dumpFile.emplace(PathFromUtf8(name), [name](const std::string& reason) {
            return name + ": cannot write the file: " + reason;
        });
        dumpFile->Write(dump);
        dumpFile->Finish();
    }
    if (dumpToStdout) {
        std::cout << dump << std::flush;
        if (!std::cout)
            throw Error("the model cannot be written to standard output");
    }
    if (drawingFile)
        drawingFile->Commit();
    if (dumpFile)
        dumpFile->Commit();

    if (!drawn) {
        report << PathToUtf8(options.input) << ": the table is empty; no drawing written\n";
        return kExitOk;
    }
    std::error_code ec;
    const auto bytes = std::filesystem::file_size(options.output, ec);
    report << "Wrote " << PathToUtf8(options.output) << " (" << (ec ? 0 : bytes) << " bytes) from the "
           << table.GridRowCount << " rows x " << table.GridColCount << " columns " << input.description << " "
           << PathToUtf8(options.input) << "\n  " << DescribeDrawing(sink.Counts()) << "\n";
    return kExitOk;
}

} // namespace
} // namespace gridvane

int main(int argc, char** argv)
{
    using namespace gridvane;
#ifdef _WIN32
    SetConsoleOutputCP(CP_UTF8);
#endif
    ConvertOptions options;
    try {
        options = ParseConvertOptions(Utf8Arguments(argc, argv));
    } catch (const UsageError& e) {
        std::cerr << "gridvane-convert: " << e.what() << "\nTry 'gridvane-convert --help'.\n";
        return kExitUsage;
    }
    if (options.help) {
        std::cout << ConvertUsage();
        return kExitOk;
    }
    if (options.version) {
        std::cout << "gridvane-convert " GRIDVANE_VERSION "\n";
        return kExitOk;
    }
    try {
        return Run(options);
    } catch (const std::exception& e) {
        std::cerr << "gridvane-convert: " << e.what() << "\n";
        return kExitFailure;
    }
}
