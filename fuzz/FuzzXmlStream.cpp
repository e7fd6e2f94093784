// Bytes as the rows of a sheet part, handed over in pieces whose sizes the bytes choose: walked by the
// plain route as they come, they must be told, or refused, as when each piece of the part is gathered
// token by token before it is read.
#include <unistd.h>

#include <zip.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "base/Error.h"
#include "fuzz/FuzzEventLog.h"
#include "xlsx/XlsxPackage.h"
#include "xlsx/XlsxXmlStream.h"

namespace {

using namespace gridvane::xlsx;


// A container to name the part in messages.
const gridvane::XlsxPackage& Package()
{
    static const gridvane::XlsxPackage package(std::filesystem::path([] {
        const std::filesystem::path path =
            std::filesystem::temp_directory_path() / ("gridvane-fuzz-stream-" + std::to_string(getpid()) + ".xlsx");
        int error = 0;
        zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
        static const char kText[] = "x";
        zip_source_t* source = z ? zip_source_buffer(z, kText, 1, 0) : nullptr;
        if (!source || zip_file_add(z, "x", source, 0) < 0 || zip_close(z) != 0) std::abort();
        return path;
    }()));
    return package;
}

// The events of the part in pieces of step bytes (the whole part when step is 0), then its fault if any.
std::string Stream(const std::string& part, std::size_t step, bool walk)
{
    FuzzEventLog log(true);
    const XmlChunkSource source = [&](const std::function<void(std::string_view)>& sink) {
        const std::size_t n = step ? step : part.size();
        for (std::size_t at = 0; at < part.size(); at += n) sink(std::string_view(part).substr(at, n));
    };
    try {
        StreamXmlBytes(Package(), "p", source, log, walk);
    } catch (const gridvane::Error& e) {
        return log.lines + "fault: " + e.what();
    }
    return log.lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return 0;
    // The first byte chooses the pieces' size; the rest are the section's elements.
    const std::string part = "<worksheet><sheetData>" + std::string(reinterpret_cast<const char*>(data) + 1, size - 1) +
                             "</sheetData></worksheet>";
    if (Stream(part, 1 + data[0] % 32, true) != Stream(part, 0, false)) std::abort();
    return 0;
}
