#include "app/ConvertInput.h"

#include <algorithm>
#include <cctype>

#include "base/Error.h"
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

} // namespace

InputTable ReadInput(const ConvertOptions& options)
{
    const std::string ext = LowerExtension(options.input);
    if (ext == ".xlsx" || ext == ".xlsm")
        throw Error(PathToUtf8(options.input) +
                    ": this converter reads table files (.json); workbooks are opened in the window");
    return ReadTableFileInput(options);
}

} // namespace gridvane
