#include "model/TableFile.h"

#include <cerrno>
#include <cmath>
#include <fstream>
#include <cstring>
#include <functional>
#include <limits>
#include <optional>
#include <nlohmann/json.hpp>

#include "base/Error.h"
#include "base/Utf.h"

namespace gridvane {

namespace {

using Json = nlohmann::json;

constexpr std::string_view kFormatName = "gridvane-table";
constexpr std::int64_t kFormatVersion = 1;

std::string PathText(const std::filesystem::path& path)
{
    const std::u8string s = path.u8string();
    return std::string(s.begin(), s.end());
}

std::string Quoted(std::string_view name)
{
    std::string s(1, '"');
    s.append(name);
    s.push_back('"');
    return s;
}

// A short rendering of a JSON value for messages; long texts are cut.
std::string Shown(const Json& value)
{
    std::string s = value.dump(-1, ' ', false, Json::error_handler_t::replace);
    if (s.size() > 60)
        s = s.substr(0, 57) + "...";
    return s;
}

const char* TypeName(const Json& value)
{
    switch (value.type()) {
    case Json::value_t::null: return "null";
    case Json::value_t::object: return "an object";
    case Json::value_t::array: return "an array";
    case Json::value_t::string: return "a text";
    case Json::value_t::boolean: return "true or false";
    case Json::value_t::binary: return "binary data";
    case Json::value_t::discarded: return "nothing";
    default: return "a number";
    }
}

// Reads one JSON value into the fields of a table file, building messages that name the place.
class Reader {
public:
    explicit Reader(std::string_view source) : source_(source) {}

    [[noreturn]] void Fail(const std::string& where, const std::string& problem) const
    {
        std::string message = source_.empty() ? std::string() : source_ + ": ";
        if (!where.empty())
            message += where + ": ";
        throw Error(message + problem);
    }

    // A whole number in [lo, hi]; a count names its negative value plainly.
    std::int64_t Integer(const Json& value, const std::string& where, std::string_view name, std::int64_t lo,
                         std::int64_t hi, bool isCount) const
    {
        const std::string range = "a whole number from " + std::to_string(lo) + " to " + std::to_string(hi);
        if (!value.is_number())
            Fail(where, Quoted(name) + " must be " + range + ", not " + TypeName(value) + " (" + Shown(value) + ")");
        std::int64_t v = 0;
        if (value.is_number_unsigned()) {
            const auto u = value.get<std::uint64_t>();
            if (u > static_cast<std::uint64_t>(hi))
                Fail(where, Quoted(name) + " is " + Shown(value) + ", out of range: it must be " + range);
            v = static_cast<std::int64_t>(u);
        } else if (value.is_number_integer()) {
            v = value.get<std::int64_t>();
        } else {
            Fail(where, Quoted(name) + " is " + Shown(value) + ": it must be " + range);
        }
        if (v < 0 && isCount)
            Fail(where, Quoted(name) + " is negative (" + std::to_string(v) + "); a count must be 0 or more");
        if (v < lo || v > hi)
            Fail(where, Quoted(name) + " is " + std::to_string(v) + ", out of range: it must be " + range);
        return v;
    }

    bool Boolean(const Json& value, const std::string& where, std::string_view name) const
    {
        if (!value.is_boolean())
            Fail(where, Quoted(name) + " must be true or false, not " + TypeName(value) + " (" + Shown(value) + ")");
        return value.get<bool>();
    }

    std::u16string Text(const Json& value, const std::string& where, std::string_view name) const
    {
        if (!value.is_string())
            Fail(where, Quoted(name) + " must be a text, not " + TypeName(value) + " (" + Shown(value) + ")");
        return FromUtf8(value.get_ref<const std::string&>());
    }

private:
    std::string source_;
};

// Every field of the cell record in its order, with whether a table file's input takes it. The derived
// fields are recomputed from the imported ones, so on input they are accepted and ignored.
template <class Cell, class Visit>
void ForEachField(Cell& c, Visit&& visit)
{
    visit("rowH", c.rowH, true);
    visit("colW", c.colW, true);
    visit("txtSize", c.txtSize, true);
    visit("txtAlign", c.txtAlign, true);
    visit("str", c.str, true);
    visit("lineBits", c.lineBits, true);
    visit("cellMerge", c.cellMerge, true);
    visit("mergerowYscount", c.mergerowYscount, true);
    visit("mergecolXscount", c.mergecolXscount, true);
    visit("mergeLeft", c.mergeLeft, true);
    visit("mergeTop", c.mergeTop, true);
    visit("mergeW", c.mergeW, false);
    visit("mergeH", c.mergeH, false);
    visit("mergeBits", c.mergeBits, false);
    visit("mark", c.mark, false);
    visit("drawH", c.drawH, false);
    visit("drawW", c.drawW, false);
    visit("drawMH", c.drawMH, false);
    visit("drawMW", c.drawMW, false);
    visit("drawTH", c.drawTH, false);
    visit("txtAlignStd", c.txtAlignStd, false);
    visit("drawThStd", c.drawThStd, false);
    visit("txtDefMark", c.txtDefMark, false);
}

std::string CellPlace(std::size_t index, std::int64_t cols)
{
    const std::int64_t i = static_cast<std::int64_t>(index);
    return "cells[" + std::to_string(index) + "] (row " + std::to_string(i / cols + 1) + ", column " +
           std::to_string(i % cols + 1) + ")";
}

void ReadCell(const Reader& reader, const Json& object, const std::string& where, TXlsxCellAttr& cell)
{
    if (!object.is_object())
        reader.Fail(where, "a cell must be a JSON object, not " + std::string(TypeName(object)));
    for (const auto& item : object.items()) {
        // Named references, not structured bindings: lambdas may not capture those before C++20 in clang 14.
        const std::string& key = item.key();
        const Json& value = item.value();
        bool known = false;
        ForEachField(cell, [&](std::string_view name, auto& field, bool imported) {
            if (known || key != name)
                return;
            known = true;
            if (!imported)
                return;
            using Field = std::remove_reference_t<decltype(field)>;
            if constexpr (std::is_same_v<Field, bool>) {
                field = reader.Boolean(value, where, name);
            } else if constexpr (std::is_same_v<Field, std::u16string>) {
                field = reader.Text(value, where, name);
            } else if constexpr (std::is_integral_v<Field>) {
                const bool isCount = name == "mergerowYscount" || name == "mergecolXscount";
                field = static_cast<Field>(
                    reader.Integer(value, where, name, 0, std::numeric_limits<Field>::max(), isCount));
            }
        });
        if (!known)
            reader.Fail(where, "unknown field " + Quoted(key) + " (a cell takes the names of the cell record)");
    }
}

void AppendCellJson(std::string& out, const TXlsxCellAttr& cell, std::size_t index, std::int32_t cols)
{
    std::string text = "{";
    bool first = true;
    ForEachField(cell, [&](std::string_view name, const auto& field, bool) {
        using Field = std::remove_cvref_t<decltype(field)>;
        Json value;
        if constexpr (std::is_same_v<Field, std::u16string>) {
            value = ToUtf8(field);
        } else if constexpr (std::is_floating_point_v<Field>) {
            if (!std::isfinite(field))
                throw Error(CellPlace(index, cols) + ": " + Quoted(name) +
                            " is not a finite number; the scale factors are too large");
            value = field;
        } else if constexpr (std::is_same_v<Field, bool>) {
            value = field;
        } else {
            value = static_cast<std::uint64_t>(field);
        }
        if (!first)
            text += ", ";
        first = false;
        text += Quoted(name) + ": " + value.dump(-1, ' ', false, Json::error_handler_t::replace);
    });
    out += text + "}";
}

} // namespace

namespace {

// The cells and texts arrays, taken element by element while the document is parsed, so that a large
// table never exists as a whole JSON tree. A problem in an element is kept (the first one of each array)
// and reported after the checks of the document's top level, when the element's row and column are known.
// A table larger than the import may make is refused while it is read, before its cells are stored.
struct TooManyElements {
    std::string where;
};

class ArrayCollector {
public:
    std::vector<TXlsxCellAttr> cells;
    std::vector<std::u16string> texts;
    std::optional<std::pair<std::size_t, std::string>> cellProblem;
    std::optional<std::pair<std::size_t, std::string>> textProblem;

    // Where the parser is: "cols", "cells[12]", "cells[12].rowH", "texts[3]"; empty outside the top object.
    std::string Place() const
    {
        if (!rootIsObject_ || key_.empty())
            return {};
        std::string place = key_;
        if (inArray_) {
            place += "[" + std::to_string(key_ == "cells" ? cells.size() : texts.size()) + "]";
            if (key_ == "cells" && !cellKey_.empty())
                place += "." + cellKey_;
        }
        return place;
    }

    bool operator()(int depth, Json::parse_event_t event, Json& parsed)
    {
        using Event = Json::parse_event_t;
        if (depth == 0 && event == Event::object_start)
            rootIsObject_ = true;
        if (!rootIsObject_)
            return true;
        if (depth == 2 && event == Event::object_start)
            cellKey_.clear();
        if (depth == 3 && event == Event::key && key_ == "cells" && inArray_)
            cellKey_ = parsed.get<std::string>();
        if (depth == 1) {
            if (event == Event::key) {
                key_ = parsed.get<std::string>();
                cellKey_.clear();
                // A repeated key replaces the earlier value, as in any JSON object.
                if (key_ == "cells")
                    cells.clear(), cellProblem.reset();
                else if (key_ == "texts")
                    texts.clear(), textProblem.reset();
            } else if (event == Event::array_start) {
                inArray_ = key_ == "cells" || key_ == "texts";
            } else if (event == Event::array_end) {
                inArray_ = false;
            }
            return true;
        }
        const bool elementDone =
            depth == 2 && inArray_ && (event == Event::object_end || event == Event::array_end || event == Event::value);
        if (!elementDone)
            return true;
        if (key_ == "cells")
            TakeCell(parsed);
        else
            TakeText(parsed);
        return false; // the element is consumed; the tree keeps an empty array
    }

private:
    void TakeCell(const Json& element)
    {
        const std::size_t index = cells.size();
        if (index >= kMaxTableCells)
            throw TooManyElements{"cells"};
        cells.emplace_back();
        cellKey_.clear();
        if (cellProblem)
            return;
        try {
            ReadCell(Reader(""), element, "", cells.back());
        } catch (const Error& e) {
            cellProblem.emplace(index, e.what());
        }
    }
    void TakeText(const Json& element)
    {
        const std::size_t index = texts.size();
        if (index >= kMaxTableCells)
            throw TooManyElements{"texts"};
        if (element.is_string()) {
            texts.push_back(FromUtf8(element.get_ref<const std::string&>()));
            return;
        }
        texts.emplace_back();
        if (!textProblem)
            textProblem.emplace(index, "\"texts\" must be a text, not " + std::string(TypeName(element)) + " (" +
                                           Shown(element) + ")");
    }

    bool rootIsObject_ = false;
    bool inArray_ = false;
    std::string key_;     // the top object's current key
    std::string cellKey_; // the current key inside the cell being read
};

// The JSON library's message without its "[json.exception.parse_error.101] " tag.
std::string LibraryMessage(const Json::exception& e)
{
    std::string what = e.what();
    if (const auto pos = what.find("] "); what.starts_with("[json.exception") && pos != std::string::npos)
        what = what.substr(pos + 2);
    return what;
}

// What went wrong, in the table file's own words.
std::string ProblemOf(const Json::exception& e)
{
    constexpr int kNumberOverflow = 406; // out_of_range.406: a number no double holds, such as 1e999
    if (e.id == kNumberOverflow) {
        std::string what = LibraryMessage(e);
        const auto quote = what.find('\'');
        const std::string number = quote == std::string::npos ? std::string() : what.substr(quote);
        return "the number is too large" + (number.empty() ? std::string() : " (" + number + ")");
    }
    if (dynamic_cast<const Json::parse_error*>(&e) != nullptr)
        return "not a JSON document: " + LibraryMessage(e);
    return "the table file cannot be read: " + LibraryMessage(e);
}

} // namespace

TableFileContents ParseTableFile(std::string_view json, std::string_view source)
{
    const Reader reader(source);
    ArrayCollector collected;
    Json root;
    try {
        root = Json::parse(json.begin(), json.end(), std::ref(collected));
    } catch (const TooManyElements& e) {
        reader.Fail(e.where, "more than " + std::to_string(kMaxTableCells) + " cells; a table holds at most " +
                                 std::to_string(kMaxTableCells));
    } catch (const Json::exception& e) {
        reader.Fail(collected.Place(), ProblemOf(e));
    }
    if (!root.is_object())
        reader.Fail("", "not a table file: the document must be a JSON object, not " + std::string(TypeName(root)));

    for (const auto& [key, value] : root.items()) {
        (void)value;
        if (key != "format" && key != "version" && key != "cols" && key != "rows" && key != "cells" &&
            key != "texts")
            reader.Fail("", "unknown field " + Quoted(key) +
                                " (a table file has format, version, cols, rows, cells and texts)");
    }
    const auto require = [&](const char* name) -> const Json& {
        const auto it = root.find(name);
        if (it == root.end())
            reader.Fail("", "not a table file: " + Quoted(name) + " is missing");
        return *it;
    };

    const Json& format = require("format");
    if (!format.is_string() || format.get_ref<const std::string&>() != kFormatName)
        reader.Fail("", "not a table file: \"format\" is " + Shown(format) + ", not \"" + std::string(kFormatName) +
                            "\"");
    const Json& version = require("version");
    if (!version.is_number_integer() || version.get<std::int64_t>() != kFormatVersion)
        reader.Fail("", "table file version " + Shown(version) + " is not supported (this program reads version " +
                            std::to_string(kFormatVersion) + ")");

    const std::int64_t maxCount = std::numeric_limits<std::int32_t>::max();
    const std::int64_t cols = reader.Integer(require("cols"), "", "cols", 0, maxCount, true);
    const std::int64_t rows = reader.Integer(require("rows"), "", "rows", 0, maxCount, true);
    if (!require("cells").is_array())
        reader.Fail("", "\"cells\" must be an array, not " + std::string(TypeName(require("cells"))));
    const auto expected = static_cast<std::uint64_t>(cols) * static_cast<std::uint64_t>(rows);
    if (expected > kMaxTableCells)
        reader.Fail("", std::to_string(rows) + " rows x " + std::to_string(cols) + " columns are more than " +
                            std::to_string(kMaxTableCells) + " cells; a table holds at most " +
                            std::to_string(kMaxTableCells));
    if (collected.cells.size() != expected)
        reader.Fail("", "\"cells\" holds " + std::to_string(collected.cells.size()) + " cells, but " +
                            std::to_string(rows) + " rows x " + std::to_string(cols) + " columns need " +
                            std::to_string(expected));
    if (collected.cellProblem)
        reader.Fail(CellPlace(collected.cellProblem->first, cols), collected.cellProblem->second);

    TableFileContents out;
    out.table.GridColCount = static_cast<std::int32_t>(cols);
    out.table.GridRowCount = static_cast<std::int32_t>(rows);
    out.table.CellGrid = std::move(collected.cells);

    if (const auto it = root.find("texts"); it != root.end()) {
        if (!it->is_array())
            reader.Fail("", "\"texts\" must be an array of texts, not " + std::string(TypeName(*it)));
        if (collected.texts.size() != expected)
            reader.Fail("", "\"texts\" holds " + std::to_string(collected.texts.size()) + " texts, but " +
                                std::to_string(rows) + " rows x " + std::to_string(cols) + " columns need " +
                                std::to_string(expected));
        if (collected.textProblem)
            reader.Fail("texts[" + std::to_string(collected.textProblem->first) + "]", collected.textProblem->second);
        out.texts = std::move(collected.texts);
    } else {
        out.texts.reserve(out.table.CellGrid.size());
        for (const TXlsxCellAttr& cell : out.table.CellGrid)
            out.texts.push_back(cell.str);
    }
    return out;
}

TableFileContents ReadTableFile(const std::filesystem::path& path)
{
    const std::string name = PathText(path);
    const auto fail = [&](const std::string& problem) -> void { throw Error(name + ": " + problem); };

    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        fail("cannot read the file: it is a folder");
    const auto tooLarge = [&] {
        fail("the file is larger than " + std::to_string(kMaxTableFileBytes >> 20) +
             " MiB; a table file is never that large");
    };
    if (const auto size = std::filesystem::file_size(path, ec); !ec && size > kMaxTableFileBytes)
        tooLarge();
    errno = 0;
    std::ifstream file(path, std::ios::binary);
    if (!file)
        fail(std::string("cannot read the file: ") + (errno != 0 ? std::strerror(errno) : "it cannot be opened"));

    std::string bytes;
    std::vector<char> buffer(1 << 16);
    while (file) {
        file.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        bytes.append(buffer.data(), static_cast<std::size_t>(file.gcount()));
        if (bytes.size() > kMaxTableFileBytes)
            tooLarge();
    }
    if (file.bad())
        fail("cannot read the file: a read error occurred");
    return ParseTableFile(bytes, name);
}

std::string TableFileJson(const CellTable& table, const std::vector<std::u16string>& texts)
{
    std::string out = "{\n  \"format\": \"" + std::string(kFormatName) + "\",\n  \"version\": " +
                      std::to_string(kFormatVersion) + ",\n  \"cols\": " + std::to_string(table.GridColCount) +
                      ",\n  \"rows\": " + std::to_string(table.GridRowCount) + ",\n  \"cells\": [";
    for (std::size_t i = 0; i < table.CellGrid.size(); ++i) {
        out += i == 0 ? "\n    " : ",\n    ";
        AppendCellJson(out, table.CellGrid[i], i, std::max<std::int32_t>(table.GridColCount, 1));
    }
    out += table.CellGrid.empty() ? "]" : "\n  ]";
    if (!texts.empty()) {
        out += ",\n  \"texts\": [";
        for (std::size_t i = 0; i < texts.size(); ++i) {
            out += i == 0 ? "\n    " : ",\n    ";
            out += Json(ToUtf8(texts[i])).dump(-1, ' ', false, Json::error_handler_t::replace);
        }
        out += "\n  ]";
    }
    out += "\n}\n";
    return out;
}

} // namespace gridvane
