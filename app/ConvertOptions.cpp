#include "app/ConvertOptions.h"

#include <string_view>

namespace gridvane {

std::filesystem::path PathFromUtf8(const std::string& text)
{
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::string PathToUtf8(const std::filesystem::path& path)
{
    const std::u8string s = path.u8string();
    return std::string(s.begin(), s.end());
}

std::string ConvertUsage()
{
    return "Usage: gridvane-convert [options] INPUT\n"
           "       gridvane-convert [options] --excel\n"
           "       gridvane-convert [options] --calc\n"
           "Draws the table in INPUT as an ASCII DXF R12 drawing. INPUT is a workbook (.xlsx, .xlsm),\n"
           "whose saved selection on its active sheet is imported as the window imports it, or a table\n"
           "file (.json). On Windows, --excel imports the selection of the running spreadsheet instead,\n"
           "as the window's \"Excel から取得\" does (same messages on standard error, exit status 1 when\n"
           "the import fails); workbook files are read on Linux only. On Linux, --calc imports the\n"
           "selection of the running LibreOffice Calc the same way (it is asked to listen on a pipe\n"
           "named for the user when it does not yet; nothing is started when none runs).\n"
           "\n"
           "Options:\n"
           "  -o, --output FILE     the drawing to write (default: INPUT with the extension .dxf)\n"
           "      --sheet NAME      import from this sheet instead of the active one (workbooks)\n"
           "      --range A1:D10    import this range instead of the saved selection (workbooks)\n"
           "      --excel           import the running spreadsheet's selection (Windows); the drawing\n"
           "                        is written to selection.dxf unless -o is given\n"
           "      --calc            import the running LibreOffice Calc's selection (Linux); the\n"
           "                        drawing is written to selection.dxf unless -o is given\n"
           "      --no-cell-lines   leave out the cell grid lines and merged-area outlines\n"
           "      --settings FILE   scale factors, text inset and cell lines from a settings file\n"
           "                        of the window's format (its [PlotraTlsx] section)\n"
           "      --dump-model FILE write the table with its computed sizes as a table file;\n"
           "                        \"-\" writes it to standard output\n"
           "  -h, --help            show this help and exit\n"
           "      --version         show the version and exit\n"
           "\n"
           "Exit status: 0 done (an empty table writes nothing), 1 the input or an output failed,\n"
           "2 a wrong command line.\n";
}

ConvertOptions ParseConvertOptions(const std::vector<std::string>& args)
{
    ConvertOptions options;
    std::vector<std::string> inputs;
    bool optionsEnded = false;

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            inputs.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        // An option's value follows as the next argument, or after "=" for the long form.
        std::string name = arg;
        std::optional<std::string> attached;
        if (arg.starts_with("--")) {
            if (const auto eq = arg.find('='); eq != std::string::npos) {
                name = arg.substr(0, eq);
                attached = arg.substr(eq + 1);
            }
        }
        const auto value = [&]() -> std::string {
            if (attached)
                return *attached;
            if (i + 1 >= args.size())
                throw UsageError("option " + name + " needs a value");
            return args[++i];
        };
        const auto flag = [&] {
            if (attached)
                throw UsageError("option " + name + " takes no value");
        };

        if (name == "-o" || name == "--output") {
            const std::string v = value();
            if (v.empty())
                throw UsageError("option " + name + " needs a file name");
            options.output = PathFromUtf8(v);
        } else if (name == "--dump-model") {
            const std::string v = value();
            if (v.empty())
                throw UsageError("option --dump-model needs a file name or \"-\"");
            options.dumpModel = v;
        } else if (name == "--settings") {
            const std::string v = value();
            if (v.empty())
                throw UsageError("option --settings needs a file name");
            options.settings = PathFromUtf8(v);
        } else if (name == "--sheet") {
            const std::string v = value();
            if (v.empty())
                throw UsageError("option --sheet needs a sheet name");
            options.sheet = v;
        } else if (name == "--range") {
            const std::string v = value();
            if (v.empty())
                throw UsageError("option --range needs a range such as A1:D10");
            options.range = v;
        } else if (name == "--excel") {
            flag();
            options.excel = true;
        } else if (name == "--calc") {
            flag();
            options.calc = true;
        } else if (name == "--no-cell-lines") {
            flag();
            options.noCellLines = true;
        } else if (name == "-h" || name == "--help") {
            flag();
            options.help = true;
        } else if (name == "--version") {
            flag();
            options.version = true;
        } else {
            throw UsageError("unknown option " + name);
        }
    }

    if (options.help || options.version)
        return options;
    if (options.excel && options.calc)
        throw UsageError("--excel and --calc name two different spreadsheets: give one");
    if (options.excel || options.calc) {
        const std::string option = options.excel ? "--excel" : "--calc";
        if (!inputs.empty())
            throw UsageError(option + " reads the running spreadsheet and takes no INPUT");
        if (options.sheet || options.range)
            throw UsageError("--sheet and --range apply to workbook files, not to " + option);
        // The input's name in messages.
        options.input = PathFromUtf8(options.excel ? kExcelInputName : kCalcInputName);
        if (options.output.empty())
            options.output = PathFromUtf8("selection.dxf");
        return options;
    }
    if (inputs.empty())
        throw UsageError("no INPUT given");
    if (inputs.size() > 1)
        throw UsageError("only one INPUT may be given, not " + std::to_string(inputs.size()));
    options.input = PathFromUtf8(inputs.front());
    if (options.output.empty()) {
        options.output = options.input;
        options.output.replace_extension(".dxf");
    }
    return options;
}

} // namespace gridvane
