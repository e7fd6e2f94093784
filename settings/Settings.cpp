#include "settings/Settings.h"

// GCC 12 reports false -Wrestrict overlaps in inlined std::string copies at -O3 (its bug 105329).
#if defined(__GNUC__) && !defined(__clang__) && __GNUC__ == 12
#pragma GCC diagnostic ignored "-Wrestrict"
#endif

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <span>
#include <string>
#include <system_error>
#include <vector>

#include "base/AtomicSave.h"
#include "base/Error.h"
#include "base/Utf.h"
#include "settings/NumberText.h"

namespace gridvane {

namespace {

constexpr std::string_view kSection = "PlotraTlsx";
constexpr std::uintmax_t kMaxSettingsFileBytes = 1024 * 1024;
constexpr std::string_view kKeys[] = {"colXsc", "rowYsc", "cadXsc", "cadYsc", "cadTsc", "cadTof",
                                      "cellLineColor", "cellLineDraw", "xlsVerNum"};
// The window's place, in a section of its own.
constexpr std::string_view kWindowSection = "Window";
constexpr std::string_view kWindowKeys[] = {"Left", "Top", "Width", "Height", "Maximized"};

// Joined with append: GCC 12 warns falsely about operator+ chains at -O3.
std::string Join(std::initializer_list<std::string_view> parts)
{
    std::string out;
    for (std::string_view p : parts) out.append(p);
    return out;
}

std::string Lower(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string_view Trim(std::string_view s)
{
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

// One line of the file, without its line end, and what it is.
struct Line {
    std::string text;
    std::optional<std::string> section; // lower-case name of a "[section]" line
    std::optional<std::string> key;     // lower-case key of a "key=value" line
    std::string_view Value() const
    {
        const auto eq = text.find('=');
        return Trim(std::string_view(text).substr(eq + 1));
    }
};

std::vector<Line> SplitLines(const std::string& bytes, std::string& eol)
{
    std::vector<Line> lines;
    eol = "\r\n";
    std::size_t start = 0;
    bool sawLf = false, sawCrLf = false;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        std::string text = bytes.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (end != std::string::npos) {
            if (!text.empty() && text.back() == '\r') {
                text.pop_back();
                sawCrLf = true;
            } else {
                sawLf = true;
            }
        }
        Line line;
        line.text = std::move(text);
        const std::string_view t = Trim(line.text);
        if (t.size() >= 2 && t.front() == '[') {
            const auto close = t.find(']');
            if (close != std::string_view::npos) line.section = Lower(Trim(t.substr(1, close - 1)));
        } else if (const auto eq = t.find('='); eq != std::string_view::npos && !t.empty() && t.front() != ';') {
            line.key = Lower(Trim(t.substr(0, eq)));
        }
        lines.push_back(std::move(line));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    if (sawLf && !sawCrLf) eol = "\n";
    return lines;
}

std::optional<std::string> ReadSmallFile(const std::filesystem::path& path)
{
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec || size > kMaxSettingsFileBytes) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
    return bytes;
}

std::optional<std::int32_t> ParseInteger(std::string_view text)
{
    text = Trim(text);
    bool negative = false;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) return std::nullopt;
    std::int64_t v = 0;
    for (char c : text) {
        int d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else return std::nullopt;
        v = v * base + d;
        if (v > 0xFFFFFFFFll) return std::nullopt;
    }
    if (negative) v = -v;
    if (base == 16 && v > 0x7FFFFFFF) v -= 0x100000000ll; // 0xFFFFFFFF reads as -1, as a 32-bit value
    if (v < INT32_MIN || v > INT32_MAX) return std::nullopt;
    return static_cast<std::int32_t>(v);
}

// The values of keys in the first section named section, each trimmed; nothing for a key it lacks.
std::vector<std::optional<std::string>> ReadKeys(const std::vector<Line>& lines, std::string_view name,
                                                 std::span<const std::string_view> keys)
{
    std::vector<std::optional<std::string>> found(keys.size());
    const std::string section = Lower(name);
    bool inSection = false;
    bool seenSection = false;
    for (const Line& line : lines) {
        if (line.section) {
            // The first section of that name counts, as with the Windows functions.
            inSection = *line.section == section && !seenSection;
            seenSection = seenSection || inSection;
            continue;
        }
        if (!inSection || !line.key) continue;
        for (std::size_t k = 0; k < keys.size(); ++k)
            if (*line.key == Lower(keys[k]) && !found[k]) found[k] = std::string(line.Value());
    }
    return found;
}

// Sets keys to values in the first section named name (added at the end when missing): a key already there
// keeps its line, a new one goes after the section's last non-blank line.
void WriteKeys(std::vector<Line>& lines, std::string_view name, std::span<const std::string_view> keys,
               const std::vector<std::string>& values)
{
    const std::string section = Lower(name);
    std::size_t header = lines.size();
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (lines[i].section && *lines[i].section == section) { header = i; break; }
    if (header == lines.size()) {
        Line h;
        h.text = Join({"[", name, "]"});
        h.section = section;
        lines.push_back(h);
    }
    for (std::size_t k = 0; k < keys.size(); ++k) {
        const std::string key = Lower(keys[k]);
        std::size_t end = header + 1; // after the section's last non-blank line
        bool updated = false;
        for (std::size_t i = header + 1; i < lines.size() && !lines[i].section; ++i) {
            if (lines[i].key && *lines[i].key == key) {
                lines[i].text = Join({keys[k], "=", values[k]});
                updated = true;
                break;
            }
            if (!Trim(lines[i].text).empty()) end = i + 1;
        }
        if (!updated) {
            Line l;
            l.text = Join({keys[k], "=", values[k]});
            l.key = key;
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(end), l);
        }
    }
}

std::vector<std::string> Values(const TSettings& s, char16_t sep)
{
    auto general = [sep](double v) { return ToUtf8(FormatGeneral(v, sep)); };
    return {general(s.colXsc), general(s.rowYsc), general(s.cadXsc), general(s.cadYsc), general(s.cadTsc),
            general(s.cadTof), std::to_string(s.cellLineColor), s.cellLineDraw ? "1" : "0", std::to_string(s.xlsVerNum)};
}

} // namespace

std::optional<std::int32_t> ParseSettingsInteger(std::u16string_view text)
{
    std::string ascii;
    for (char16_t c : text) {
        if (c > 0x7F) return std::nullopt;
        ascii.push_back(static_cast<char>(c));
    }
    return ParseInteger(ascii);
}

TSettings LoadSettings(const std::filesystem::path& iniPath, char16_t decimalSeparator)
{
    TSettings s;
    const std::optional<std::string> bytes = ReadSmallFile(iniPath);
    if (!bytes) return s;
    std::string eol;
    const std::vector<Line> lines = SplitLines(*bytes, eol);
    const std::vector<std::optional<std::string>> found = ReadKeys(lines, kSection, kKeys);
    auto dbl = [&](std::size_t k, double& field) {
        if (!found[k] || found[k]->empty()) return;
        if (auto v = ParseNumber(FromUtf8(*found[k]), decimalSeparator)) field = *v;
    };
    auto integer = [&](std::size_t k, std::int32_t& field) {
        if (!found[k] || found[k]->empty()) return;
        if (auto v = ParseInteger(*found[k])) field = *v;
    };
    dbl(0, s.colXsc);
    dbl(1, s.rowYsc);
    dbl(2, s.cadXsc);
    dbl(3, s.cadYsc);
    dbl(4, s.cadTsc);
    dbl(5, s.cadTof);
    integer(6, s.cellLineColor);
    std::int32_t draw = s.cellLineDraw ? 1 : 0;
    integer(7, draw);
    s.cellLineDraw = draw != 0;
    integer(8, s.xlsVerNum);
    return s;
}

std::optional<TWindowPlacement> LoadWindowPlacement(const std::filesystem::path& iniPath)
{
    const std::optional<std::string> bytes = ReadSmallFile(iniPath);
    if (!bytes) return std::nullopt;
    std::string eol;
    const std::vector<std::optional<std::string>> found = ReadKeys(SplitLines(*bytes, eol), kWindowSection, kWindowKeys);
    std::int32_t values[std::size(kWindowKeys)] = {};
    for (std::size_t k = 0; k < std::size(kWindowKeys); ++k) {
        const std::optional<std::int32_t> v = found[k] ? ParseInteger(*found[k]) : std::nullopt;
        if (!v) return std::nullopt;
        values[k] = *v;
    }
    TWindowPlacement p{values[0], values[1], values[2], values[3], values[4] != 0};
    if (p.width <= 0 || p.height <= 0) return std::nullopt;
    return p;
}

void SaveSettings(const std::filesystem::path& iniPath, const TSettings& settings, char16_t decimalSeparator,
                  const std::optional<TWindowPlacement>& window)
{
    const std::string shown = iniPath.string();
    auto fail = [&]() { return Error(Join({shown, " に書き込めません"})); };

    std::string eol = "\r\n";
    std::vector<Line> lines;
    std::error_code ec;
    if (std::filesystem::exists(iniPath, ec)) {
        if (!std::filesystem::is_regular_file(iniPath, ec)) throw fail();
        std::ifstream in(iniPath, std::ios::binary);
        if (!in) throw fail();
        std::string bytes;
        try {
            bytes.assign(std::istreambuf_iterator<char>(in), {});
        } catch (const std::exception&) {
            throw fail();
        }
        lines = SplitLines(bytes, eol);
    }
    WriteKeys(lines, kSection, kKeys, Values(settings, decimalSeparator));
    if (window) {
        const TWindowPlacement& w = *window;
        WriteKeys(lines, kWindowSection, kWindowKeys,
                  {std::to_string(w.left), std::to_string(w.top), std::to_string(w.width), std::to_string(w.height),
                   w.maximized ? "1" : "0"});
    }
    std::string out;
    for (const Line& l : lines) {
        out += l.text;
        out += eol;
    }

    // Saved whole or not at all: a failed write never leaves half a file.
    SaveFileAtomically(iniPath, out, [&](const std::string&) -> std::string { return fail().what(); });
}

} // namespace gridvane
