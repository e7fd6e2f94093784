#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/AtomicSave.h"
#include "base/RealText.h"

namespace gridvane {

/// A point in drawing units.
struct TAcadPoint {
    double x = 0;
    double y = 0;
    double z = 0;
    bool operator==(const TAcadPoint&) const = default;
};

/// The lines of a drawing file as the file's bytes: every line encoded in the drawing code page once, when it
/// is appended, and followed by CR LF, in one growing buffer that the save writes as it is; or, once
/// StreamTo() was called, in one buffer of a fixed size whose bytes are handed on each time it is full.
class DxfLineList {
public:
    DxfLineList() = default;
    DxfLineList(const DxfLineList& other);
    DxfLineList(DxfLineList&& other) noexcept;
    DxfLineList& operator=(DxfLineList other) noexcept;
    ~DxfLineList();

    void Clear();
    /// Appends one line, encoded in the drawing code page (ASCII is copied as it is).
    void Add(std::u16string_view line);
    /// Appends one line of ASCII characters, which every drawing code page writes as they are.
    void AddAscii(std::string_view line)
    {
        // Most lines are a few characters and the buffers have room: those are appended here, where a
        // caller's constant line is copied as the constant it is, and any other by AppendAscii.
        if (bytes_.capacity - bytes_.size >= line.size() + 2) [[likely]] {
            char* out = bytes_.data + bytes_.size;
            if (!line.empty()) std::memcpy(out, line.data(), line.size());
            out[line.size()] = '\r';
            out[line.size() + 1] = '\n';
            bytes_.size += line.size() + 2;
            ++count_;
            decodedValid_ = false;
            return;
        }
        AppendAscii(line);
    }
    /// Appends the real-number text of value (FormatDxfReal) as one line. Throws Error for a value that is not finite.
    void AddReal(double value);
    /// Appends the decimal text of value as one line.
    void AddInt(int value);
    /// For a writer of whole records: room for n more bytes at the end, returned as where they go (a streamed
    /// list may hand its bytes on first). Commit(end, lines) then takes the bytes up to end as that many whole
    /// lines, each written with its CR LF.
    char* Room(std::size_t n) { return Grow(n); }
    void Commit(const char* end, std::size_t lines)
    {
        bytes_.size = static_cast<std::size_t>(end - bytes_.data);
        count_ += lines;
        decodedValid_ = false;
    }
    /// Writes AddReal's text of value, without a line end, to out (from Room, with kReal15MaxChars bytes
    /// for it); returns the end of the text. Throws Error for a value that is not finite.
    char* PutReal(char* out, double value);
    /// Makes room for about the given number of bytes (a streamed list keeps the buffer it has).
    void Reserve(std::size_t bytes);
    /// From now on the lines go to write, in order, a buffer of about chunk bytes at a time, instead of staying
    /// here: Bytes() holds only the lines not handed on yet, and operator[] is not for such a list. What
    /// write throws reaches the caller of the Add that filled the buffer.
    void StreamTo(std::function<void(std::string_view)> write, std::size_t chunk);
    /// Hands the lines not yet handed on to the StreamTo writer (nothing when there is none).
    void Flush();
    std::size_t Count() const { return count_; }
    /// Line i as a reader of the file sees it (decoded from the drawing code page). The view stays valid until
    /// the list changes; the first read after a change decodes the whole list once (not for concurrent use).
    std::u16string_view operator[](std::size_t i) const;
    /// The file's bytes: every line followed by CR LF.
    std::string_view Bytes() const { return std::string_view(bytes_.data, bytes_.size); }

private:
    // A malloc'd buffer that grows by realloc: a large one grows by remapping its pages, not by copying them.
    struct Buffer {
        char* data = nullptr;
        std::size_t size = 0;
        std::size_t capacity = 0;
        void Reserve(std::size_t n);
    };
    // Room for n more bytes at the buffer's end: the buffer grows, or a streamed one is handed on first.
    char* Grow(std::size_t n)
    {
        if (bytes_.capacity - bytes_.size < n) [[unlikely]] MakeRoom(n);
        return bytes_.data + bytes_.size;
    }
    void MakeRoom(std::size_t n);
    void AppendAscii(std::string_view line);
    void EndLine();

    // No line holds CR LF (texts reach the drawing without control characters, and CP932 has no CR or
    // LF inside a character), so the lines are found again from their ends: no length is kept a line.
    Buffer bytes_;
    std::size_t count_ = 0;
    std::function<void(std::string_view)> stream_; // where a streamed list's bytes go
    // The texts of the last real numbers written, by a hash of the value's bits: a drawing repeats a few
    // coordinates (a row's y, a column's x, a text height) over and over. An empty text marks a free slot.
    struct RealText {
        std::uint64_t bits = 0;
        std::uint8_t size = 0;
        char text[kReal15MaxChars];
    };
    static constexpr int kRealCacheBits = 10;
    std::unique_ptr<RealText[]> reals_;
    // What operator[] reads: the decoded lines, built on the first read after a change.
    mutable std::u16string decoded_;
    mutable std::vector<std::size_t> decodedEnds_;
    mutable std::vector<std::uint32_t> decodedEnds32_;
    mutable bool decodedValid_ = false;
};

/// Clears the list, appends the HEADER section and opens the TABLES section.
void DxfStart(DxfLineList& list);
/// Appends the LTYPE table (CONTINUOUS).
void DxfLtypeTable(DxfLineList& list);
/// Closes TABLES and opens ENTITIES.
void DxfStartEntities(DxfLineList& list);
/// Appends one LINE entity.
void DxfLine(DxfLineList& list, const TAcadPoint& start, const TAcadPoint& end, std::u16string_view layer,
             std::u16string_view lineType, int color);
/// Appends one POLYLINE with its VERTEX records and SEQEND.
void DxfPolyline(DxfLineList& list, std::span<const TAcadPoint> vertices, bool closed, std::u16string_view layer,
                 std::u16string_view lineType, int color);
/// Appends one TEXT entity; justification decodes the passed group 72/73 values as documented in the .cpp.
void DxfText(DxfLineList& list, std::u16string_view text, const TAcadPoint& first, const TAcadPoint& second,
             double height, double widthFactor, double rotation, int horizontal, int vertical,
             std::u16string_view justification, std::u16string_view layer, int color);
/// The group 72 (horizontal) and 73 (vertical) values DxfText writes for a justification code, starting from
/// the passed defaults: "MC" gives 1 and 2, "L" gives 0 and 0, an empty or unknown code leaves the defaults.
void DecodeDxfJustification(std::u16string_view justification, int& horizontal, int& vertical);
/// Closes ENTITIES and appends EOF.
void DxfEnd(DxfLineList& list);

/// Fills points from flat x,y pairs when coords.size() / 2 == points.size(); else returns false, points untouched.
bool VarToAcadPoints2D(std::span<const double> coords, std::span<TAcadPoint> points);

/// The real-number text of the drawing file: 15 significant digits, "0", fixed for exponents -4..14, else 5E-5.
/// Throws Error for a value that is not finite.
std::u16string FormatDxfReal(double value);

/// The drawing file path, not yet in place (see AtomicFile): its failures throw
/// Error("ファイル "<path>" を作成できません。<reason>").
AtomicFile CreateDxfFile(const std::filesystem::path& path);
/// Writes every line of list plus CR LF in the drawing code page, no BOM, to file. Throws Error on failure.
void WriteDxfLineList(const DxfLineList& list, AtomicFile& file);
/// Saves list as path whole or not at all: CreateDxfFile, WriteDxfLineList, then the file replaces path.
/// Throws Error("ファイル "<path>" を作成できません。<reason>") when the file cannot be written.
void SaveDxfLineList(const DxfLineList& list, const std::filesystem::path& path);

} // namespace gridvane
