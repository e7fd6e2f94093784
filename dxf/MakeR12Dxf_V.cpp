#include "dxf/MakeR12Dxf_V.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include "base/Error.h"
#include "base/HugePages.h"
#include "base/RealText.h"
#include "textconv/DrawingCodePage.h"

namespace gridvane {

namespace {

// Group-code lines: the code right-aligned in three characters.
constexpr std::string_view kEntity = "  0";
constexpr std::string_view kName = "  2";
constexpr std::string_view kText = "  1";
constexpr std::string_view kLayer = "  8";
constexpr std::string_view kLineType = "  6";
constexpr std::string_view kVariable = "  9";
constexpr std::string_view kString3 = "  3";
constexpr std::string_view kX = " 10";
constexpr std::string_view kY = " 20";
constexpr std::string_view kZ = " 30";
constexpr std::string_view kX2 = " 11";
constexpr std::string_view kY2 = " 21";
constexpr std::string_view kZ2 = " 31";
constexpr std::string_view kHeight = " 40";
constexpr std::string_view kLineTypeScale = " 48";
constexpr std::string_view kColor = " 62";
constexpr std::string_view kEntitiesFollow = " 66";
constexpr std::string_view kFlags = " 70";
constexpr std::string_view kHorizontal = " 72";
constexpr std::string_view kVertical = " 73";

// Fixed values.
constexpr std::string_view kZeroReal = "0.0";
constexpr std::string_view kOneReal = "1.0";

void Pair(DxfLineList& list, std::string_view code, std::string_view value)
{
    list.AddAscii(code);
    list.AddAscii(value);
}

void Pair(DxfLineList& list, std::string_view code, std::u16string_view value)
{
    list.AddAscii(code);
    list.Add(value);
}

void RealPair(DxfLineList& list, std::string_view code, double value)
{
    list.AddAscii(code);
    list.AddReal(value);
}

void IntPair(DxfLineList& list, std::string_view code, int value)
{
    list.AddAscii(code);
    list.AddInt(value);
}

void CheckFinite(double value)
{
    if (!std::isfinite(value)) throw Error("a drawing coordinate or size is not a finite number");
}

} // namespace

// Two-letter codes: vertical from the first letter, horizontal from the second; one letter: horizontal.
void DecodeDxfJustification(std::u16string_view code, int& horizontal, int& vertical)
{
    auto h3 = [](char16_t c, int& h) {
        switch (c) {
        case u'L': h = 0; break;
        case u'C': h = 1; break;
        case u'R': h = 2; break;
        default: break;
        }
    };
    if (code.size() == 2) {
        switch (code[0]) {
        case u'B': vertical = 1; break;
        case u'M': vertical = 2; break;
        case u'T': vertical = 3; break;
        default: break;
        }
        h3(code[1], horizontal);
    } else if (code.size() == 1) {
        switch (code[0]) {
        case u'A': horizontal = 3; break;
        case u'M': horizontal = 4; break;
        case u'F': horizontal = 5; break;
        default: h3(code[0], horizontal); break;
        }
        vertical = 0;
    }
}

void DxfLineList::Buffer::Reserve(std::size_t n)
{
    if (n <= capacity) return;
    const std::size_t grown = std::max({n, capacity + capacity / 2, std::size_t{4096}});
    void* moved = std::realloc(data, grown);
    if (!moved) throw std::bad_alloc();
    data = static_cast<char*>(moved);
    capacity = grown;
    // A drawing's bytes run to tens of megabytes, written once: the room not written yet in large pages.
    AdviseHugePages(data + size, capacity - size);
}

DxfLineList::DxfLineList(const DxfLineList& other) : count_(other.count_)
{
    bytes_.Reserve(other.bytes_.size);
    if (other.bytes_.size != 0) std::memcpy(bytes_.data, other.bytes_.data, other.bytes_.size);
    bytes_.size = other.bytes_.size;
}

DxfLineList::DxfLineList(DxfLineList&& other) noexcept
    : bytes_(std::exchange(other.bytes_, {})), count_(std::exchange(other.count_, 0)),
      stream_(std::exchange(other.stream_, {})), reals_(std::move(other.reals_))
{
    other.Clear();
}

DxfLineList& DxfLineList::operator=(DxfLineList other) noexcept
{
    std::swap(bytes_, other.bytes_);
    std::swap(count_, other.count_);
    std::swap(stream_, other.stream_);
    std::swap(reals_, other.reals_);
    decoded_.clear();
    decodedEnds_.clear();
    decodedEnds32_.clear();
    decodedValid_ = false;
    return *this;
}

DxfLineList::~DxfLineList()
{
    std::free(bytes_.data);
}

void DxfLineList::Clear()
{
    bytes_.size = 0;
    count_ = 0;
    decoded_.clear();
    decodedEnds_.clear();
    decodedEnds32_.clear();
    decodedValid_ = false;
}

// The line's bytes are at the end of bytes_, and the caller made room for two more: appends CR LF.
void DxfLineList::EndLine()
{
    char* end = bytes_.data + bytes_.size;
    end[0] = '\r';
    end[1] = '\n';
    bytes_.size += 2;
    ++count_;
    decodedValid_ = false;
}

void DxfLineList::AppendAscii(std::string_view line)
{
    char* out = Grow(line.size() + 2);
    if (!line.empty()) std::memcpy(out, line.data(), line.size());
    bytes_.size += line.size();
    EndLine();
}

void DxfLineList::Add(std::u16string_view line)
{
    const bool ascii = std::all_of(line.begin(), line.end(), [](char16_t c) { return c < 0x80; });
    if (!ascii) {
        // Every line is encoded on its own: a character never pairs across a line end.
        AddAscii(EncodeDrawingText(line));
        return;
    }
    char* out = Grow(line.size() + 2);
    for (const char16_t c : line) *out++ = static_cast<char>(c); // ASCII is the same in every drawing code page
    bytes_.size += line.size();
    EndLine();
}

void DxfLineList::MakeRoom(std::size_t n)
{
    if (stream_ && bytes_.size != 0) {
        stream_(Bytes());
        bytes_.size = 0;
        if (bytes_.capacity >= n) return;
    }
    bytes_.Reserve(bytes_.size + n);
}

void DxfLineList::StreamTo(std::function<void(std::string_view)> write, std::size_t chunk)
{
    stream_ = std::move(write);
    bytes_.Reserve(chunk);
}

void DxfLineList::Flush()
{
    if (!stream_ || bytes_.size == 0) return;
    stream_(Bytes());
    bytes_.size = 0;
}

void DxfLineList::AddReal(double value)
{
    char* out = Grow(kReal15MaxChars + 2);
    bytes_.size = static_cast<std::size_t>(PutReal(out, value) - bytes_.data);
    EndLine();
}

char* DxfLineList::PutReal(char* out, double value)
{
    CheckFinite(value);
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    if (!reals_) reals_ = std::make_unique<RealText[]>(std::size_t{1} << kRealCacheBits);
    RealText& slot = reals_[(bits * 0x9E3779B97F4A7C15ULL) >> (64 - kRealCacheBits)];
    if (slot.size == 0 || slot.bits != bits) {
        slot.size = static_cast<std::uint8_t>(FormatReal15To(value, slot.text));
        slot.bits = bits;
    }
    std::memcpy(out, slot.text, sizeof slot.text); // the whole slot: a copy of a fixed size
    return out + slot.size;
}

void DxfLineList::AddInt(int value)
{
    char* out = Grow(16);
    const std::size_t n = static_cast<std::size_t>(std::to_chars(out, out + 14, value).ptr - out);
    bytes_.size += n;
    EndLine();
}

void DxfLineList::Reserve(std::size_t bytes)
{
    if (stream_) return;
    bytes_.Reserve(bytes);
}

std::u16string_view DxfLineList::operator[](std::size_t i) const
{
    if (!decodedValid_) {
        // ASCII bytes are widened as they are; a line with other bytes is decoded from the code page.
        decoded_.assign(bytes_.size, u'\0');
        // Line ends in 32 bits while the text allows it (a drawing of under 4 GiB): half the memory.
        const bool narrow = bytes_.size <= UINT32_MAX;
        decodedEnds32_.assign(narrow ? count_ : 0, 0);
        decodedEnds_.assign(narrow ? 0 : count_, 0);
        char16_t* out = decoded_.data();
        const unsigned char* at = reinterpret_cast<const unsigned char*>(bytes_.data);
        const std::string_view all = Bytes();
        for (std::size_t j = 0; j < count_; ++j) {
            const std::size_t start = static_cast<std::size_t>(reinterpret_cast<const char*>(at) - bytes_.data);
            const std::size_t n = all.find("\r\n", start) - start; // every line ends in CR LF
            unsigned high = 0;
            for (std::size_t k = 0; k < n; ++k) high |= at[k], out[k] = at[k];
            if (high < 0x80) {
                out += n;
            } else {
                const std::u16string text = DecodeDrawingText(std::string_view(reinterpret_cast<const char*>(at), n));
                out = std::copy(text.begin(), text.end(), out); // never longer than its bytes
            }
            const std::size_t end = static_cast<std::size_t>(out - decoded_.data());
            if (narrow) decodedEnds32_[j] = static_cast<std::uint32_t>(end);
            else decodedEnds_[j] = end;
            at += n + 2;
        }
        decoded_.resize(static_cast<std::size_t>(out - decoded_.data()));
        decodedValid_ = true;
    }
    const auto end = [this](std::size_t j) -> std::size_t {
        return decodedEnds32_.empty() ? decodedEnds_[j] : decodedEnds32_[j];
    };
    const std::size_t begin = i == 0 ? 0 : end(i - 1);
    return std::u16string_view(decoded_).substr(begin, end(i) - begin);
}

std::u16string FormatDxfReal(double value)
{
    CheckFinite(value);
    char text[kReal15MaxChars];
    const std::size_t n = FormatReal15To(value, text); // always a full stop, whatever the locale
    return std::u16string(text, text + n);
}

void DxfStart(DxfLineList& list)
{
    list.Clear();
    Pair(list, kEntity, "SECTION");
    Pair(list, kName, "HEADER");
    Pair(list, kVariable, "$ACADVER");
    Pair(list, kText, "AC1009");
    // Without this, readers decode an R12 file in a Western code page and garble every Japanese text.
    Pair(list, kVariable, "$DWGCODEPAGE");
    Pair(list, kString3, std::u16string_view(DrawingCodePageName()));
    Pair(list, kVariable, "$CELTYPE");
    Pair(list, kLineType, "BYLAYER");
    Pair(list, kVariable, "$CECOLOR");
    Pair(list, kColor, "256");
    Pair(list, kEntity, "ENDSEC");
    Pair(list, kEntity, "SECTION");
    Pair(list, kName, "TABLES");
}

void DxfLtypeTable(DxfLineList& list)
{
    Pair(list, kEntity, "TABLE");
    Pair(list, kName, "LTYPE");
    Pair(list, kFlags, "     2"); // maximum count, as written by the program since its first release
    Pair(list, kEntity, "LTYPE");
    Pair(list, kName, "CONTINUOUS");
    Pair(list, kFlags, "     0");
    Pair(list, kString3, "Solid line");
    Pair(list, kHorizontal, "    65");
    Pair(list, kVertical, "     0");
    Pair(list, kHeight, kZeroReal);
    Pair(list, kEntity, "ENDTAB");
}

void DxfStartEntities(DxfLineList& list)
{
    Pair(list, kEntity, "ENDSEC");
    Pair(list, kEntity, "SECTION");
    Pair(list, kName, "ENTITIES");
}

namespace {

// What a LINE or POLYLINE record begins with: its type, layer, line type, colour and line type scale.
void EntityStart(DxfLineList& list, std::string_view type, std::u16string_view layer, std::u16string_view lineType,
                 int color)
{
    Pair(list, kEntity, type);
    Pair(list, kLayer, layer);
    Pair(list, kLineType, lineType);
    IntPair(list, kColor, color);
    Pair(list, kLineTypeScale, kOneReal);
}

// The first and the second point of a LINE or TEXT record.
void Points(DxfLineList& list, const TAcadPoint& first, const TAcadPoint& second)
{
    RealPair(list, kX, first.x);
    RealPair(list, kY, first.y);
    RealPair(list, kZ, first.z);
    RealPair(list, kX2, second.x);
    RealPair(list, kY2, second.y);
    RealPair(list, kZ2, second.z);
}

} // namespace

void DxfLine(DxfLineList& list, const TAcadPoint& start, const TAcadPoint& end, std::u16string_view layer,
             std::u16string_view lineType, int color)
{
    // Checked first: a coordinate that cannot be written must not leave half a record behind.
    for (const double v : {start.x, start.y, start.z, end.x, end.y, end.z}) CheckFinite(v);
    EntityStart(list, "LINE", layer, lineType, color);
    Points(list, start, end);
}

void DxfPolyline(DxfLineList& list, std::span<const TAcadPoint> vertices, bool closed, std::u16string_view layer,
                 std::u16string_view lineType, int color)
{
    for (const TAcadPoint& p : vertices) {
        CheckFinite(p.x);
        CheckFinite(p.y);
    }
    EntityStart(list, "POLYLINE", layer, lineType, color);
    Pair(list, kEntitiesFollow, "1");
    Pair(list, kX, kZeroReal);
    Pair(list, kY, kZeroReal);
    Pair(list, kZ, kZeroReal);
    Pair(list, kFlags, closed ? "1" : "0");
    for (const TAcadPoint& p : vertices) {
        Pair(list, kEntity, "VERTEX");
        Pair(list, kLayer, layer);
        RealPair(list, kX, p.x);
        RealPair(list, kY, p.y);
        Pair(list, kZ, kZeroReal);
    }
    Pair(list, kEntity, "SEQEND");
}

namespace {

// Whether every character is ASCII: no early exit, so that the compiler may take many characters at a time.
bool IsAscii(std::u16string_view text)
{
    char16_t bits = 0;
    for (const char16_t c : text) bits |= c;
    return bits < 0x80;
}

// A line's value as the file holds it, as DxfLineList::Add writes it: ASCII as it is, anything else encoded in
// the drawing code page.
struct LineValue {
    explicit LineValue(std::u16string_view value) : text(value), ascii(IsAscii(value))
    {
        if (!ascii) encoded = EncodeDrawingText(value);
    }
    std::size_t Size() const { return ascii ? text.size() : encoded.size(); }
    std::u16string_view text;
    bool ascii;
    std::string encoded;
};

// Lines written straight into the room a DxfLineList gave, each with its CR LF: a record of many short lines
// then costs one check for room and one count instead of one of each per line.
class RecordWriter {
public:
    RecordWriter(DxfLineList& list, std::size_t bytes) : list_(list), out_(list.Room(bytes)) {}
    // An ASCII line of a size known where it is called (a group code or a fixed value).
    template <std::size_t N>
    void Fixed(const char (&line)[N])
    {
        std::memcpy(out_, line, N - 1);
        End(N - 1);
    }
    void Bytes(std::string_view line)
    {
        if (!line.empty()) std::memcpy(out_, line.data(), line.size());
        End(line.size());
    }
    void Value(const LineValue& value)
    {
        if (!value.ascii) return Bytes(value.encoded);
        const std::size_t n = value.text.size();
        for (std::size_t i = 0; i < n; ++i) out_[i] = static_cast<char>(value.text[i]);
        End(n);
    }
    // A real's line; returns its text as written, for Again.
    std::string_view Real(double value)
    {
        char* const start = out_;
        out_ = list_.PutReal(out_, value);
        const std::string_view text(start, static_cast<std::size_t>(out_ - start));
        End(0);
        return text;
    }
    // A real's line: the text written for an earlier real of the same bits, or the value's own.
    void Real(double value, double earlier, std::string_view earlierText)
    {
        if (std::bit_cast<std::uint64_t>(value) != std::bit_cast<std::uint64_t>(earlier)) return void(Real(value));
        Bytes(earlierText);
    }
    void Int(int value) { End(static_cast<std::size_t>(std::to_chars(out_, out_ + kIntChars, value).ptr - out_)); }
    void Commit() { list_.Commit(out_, lines_); }
    static constexpr std::size_t kIntChars = 14;

private:
    void End(std::size_t n)
    {
        out_[n] = '\r';
        out_[n + 1] = '\n';
        out_ += n + 2;
        ++lines_;
    }
    DxfLineList& list_;
    char* out_;
    std::size_t lines_ = 0;
};

} // namespace

void DxfText(DxfLineList& list, std::u16string_view text, const TAcadPoint& first, const TAcadPoint& second,
             double height, double widthFactor, double rotation, int horizontal, int vertical,
             std::u16string_view justification, std::u16string_view layer, int color)
{
    DecodeDxfJustification(justification, horizontal, vertical);
    for (const double v : {first.x, first.y, first.z, second.x, second.y, second.z, height, widthFactor, rotation})
        CheckFinite(v);
    // The record in one piece: 36 lines, 22 of them of at most 8 characters, 9 reals, 3 integers, the
    // layer and the text.
    const LineValue layerValue(layer), textValue(text);
    RecordWriter out(list, 36 * 2 + 22 * 8 + 9 * kReal15MaxChars + 3 * RecordWriter::kIntChars + layerValue.Size() +
                               textValue.Size());
    out.Fixed("  0");
    out.Fixed("TEXT");
    out.Fixed("  8");
    out.Value(layerValue);
    out.Fixed("  7");
    out.Fixed("STANDARD");
    out.Fixed(" 62");
    out.Int(color);
    out.Fixed(" 10");
    const std::string_view x = out.Real(first.x);
    out.Fixed(" 20");
    const std::string_view y = out.Real(first.y);
    out.Fixed(" 30");
    const std::string_view z = out.Real(first.z);
    // The second point mostly repeats the first (a text's alignment point).
    out.Fixed(" 11");
    out.Real(second.x, first.x, x);
    out.Fixed(" 21");
    out.Real(second.y, first.y, y);
    out.Fixed(" 31");
    out.Real(second.z, first.z, z);
    out.Fixed("  1");
    out.Value(textValue);
    out.Fixed(" 40");
    out.Real(height);
    out.Fixed(" 41");
    out.Real(widthFactor);
    out.Fixed(" 50");
    out.Real(rotation);
    out.Fixed(" 51");
    out.Fixed("0.0");
    out.Fixed(" 71");
    out.Fixed("0");
    out.Fixed(" 72");
    out.Int(horizontal);
    out.Fixed(" 73");
    out.Int(vertical);
    out.Commit();
}

void DxfEnd(DxfLineList& list)
{
    Pair(list, kEntity, "ENDSEC");
    Pair(list, kEntity, "EOF");
}

bool VarToAcadPoints2D(std::span<const double> coords, std::span<TAcadPoint> points)
{
    if (coords.size() / 2 != points.size()) return false;
    for (std::size_t i = 0; i < points.size(); ++i) points[i] = TAcadPoint{coords[2 * i], coords[2 * i + 1], 0};
    return true;
}

AtomicFile CreateDxfFile(const std::filesystem::path& path)
{
    const std::string shown = path.string();
    return AtomicFile(path, [shown](const std::string& reason) {
        return "ファイル \"" + shown + "\" を作成できません。" + reason;
    });
}

void WriteDxfLineList(const DxfLineList& list, AtomicFile& file)
{
    file.Write(list.Bytes()); // the list holds the file's bytes
}

void SaveDxfLineList(const DxfLineList& list, const std::filesystem::path& path)
{
    AtomicFile file = CreateDxfFile(path);
    WriteDxfLineList(list, file);
    file.Commit();
}

} // namespace gridvane
