#include "excel/xlsx/XlsxPackage.h"

#include <zip.h>

#include <algorithm>
#include <cstdint>

#include "base/Error.h"
#include "base/Utf.h"

namespace gridvane {

struct XlsxPackage::Impl {
    zip_t* zip = nullptr;
    ~Impl()
    {
        if (zip) zip_discard(zip);
    }
};

XlsxPackage::XlsxPackage(const std::filesystem::path& path) : impl_(std::make_unique<Impl>()), displayName_(path.string())
{
    // The window names the file in Japanese: ブック "name" ...
    const auto Ja = [&path](std::u16string_view what) {
        return u"ブック \"" + path.filename().u16string() + u"\" " + std::u16string(what);
    };
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) throw Error(displayName_ + ": the file does not exist", Ja(u"が見つかりません。"));
    if (std::filesystem::is_directory(path, ec)) throw Error(displayName_ + ": is a folder, not a workbook", Ja(u"はフォルダーです。"));
    int code = 0;
    impl_->zip = zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &code);
    if (!impl_->zip) {
        if (code == ZIP_ER_NOZIP || code == ZIP_ER_INCONS) {
            throw Error(displayName_ + ": not a workbook (not a zip archive, or a damaged one)",
                        Ja(u"を開けません: zip 形式ではないか、壊れています。"));
        }
        zip_error_t error;
        zip_error_init_with_code(&error, code);
        const std::string reason = zip_error_strerror(&error);
        zip_error_fini(&error);
        throw Error(displayName_ + ": cannot be opened (" + reason + ")", Ja(u"を開けません (" + FromUtf8(reason) + u")。"));
    }
    const zip_int64_t entries = zip_get_num_entries(impl_->zip, 0);
    if (entries > kMaxZipEntries) {
        throw Error(displayName_ + ": the archive has " + std::to_string(entries) + " entries, more than " +
                    std::to_string(kMaxZipEntries));
    }
}

XlsxPackage::~XlsxPackage() = default;

bool XlsxPackage::Has(const std::string& name) const
{
    return zip_name_locate(impl_->zip, name.c_str(), 0) >= 0;
}

namespace {

// Closes an entry however its reading ends.
struct OpenEntry {
    zip_file_t* file;
    ~OpenEntry()
    {
        if (file) zip_fclose(file);
    }
};

} // namespace

// Locates the entry, checks it against the limits and reads it in pieces of at most chunk bytes.
void XlsxPackage::ReadEach(const std::string& name, std::size_t chunk,
                           const std::function<char*(std::size_t size, std::size_t done, std::size_t& room)>& buffer,
                           const std::function<void(std::size_t n)>& got) const
{
    const zip_int64_t index = zip_name_locate(impl_->zip, name.c_str(), 0);
    if (index < 0) throw Error(displayName_ + ": the part " + name + " is missing");
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(impl_->zip, static_cast<zip_uint64_t>(index), 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE)) {
        throw Error(displayName_ + ": the part " + name + " cannot be read");
    }
    if (st.size > kMaxZipEntryBytes) {
        throw Error(displayName_ + ": the part " + name + " is larger than 256 MiB uncompressed");
    }
    if ((st.valid & ZIP_STAT_COMP_SIZE) && st.size > 1024 * 1024 && st.size / (st.comp_size ? st.comp_size : 1) > kMaxZipRatio) {
        throw Error(displayName_ + ": the part " + name + " is compressed more than 200:1 (a zip bomb?)");
    }
    const OpenEntry entry{zip_fopen_index(impl_->zip, static_cast<zip_uint64_t>(index), 0)};
    if (!entry.file) {
        throw Error(displayName_ + ": the part " + name + " cannot be read (" + zip_strerror(impl_->zip) + ")");
    }
    const std::size_t size = static_cast<std::size_t>(st.size);
    std::size_t done = 0;
    while (done < size) {
        std::size_t room = 0;
        char* at = buffer(size, done, room);
        const zip_int64_t n = zip_fread(entry.file, at, std::min({room, chunk, size - done}));
        if (n < 0) {
            throw Error(displayName_ + ": the part " + name + " is damaged (" +
                        zip_error_strerror(zip_file_get_error(entry.file)) + ")");
        }
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
        got(static_cast<std::size_t>(n));
    }
    char extra = 0;
    if (done != size || zip_fread(entry.file, &extra, 1) != 0) {
        throw Error(displayName_ + ": the part " + name + " does not have the size its archive states");
    }
}

std::string XlsxPackage::Read(const std::string& name) const
{
    std::string data;
    ReadEach(
        name, SIZE_MAX,
        [&data](std::size_t size, std::size_t done, std::size_t& room) {
            if (data.size() != size) data.resize(size);
            room = size - done;
            return data.data() + done;
        },
        [](std::size_t) {});
    return data;
}

void XlsxPackage::ReadChunks(const std::string& name, const std::function<void(std::string_view)>& sink) const
{
    constexpr std::size_t kChunk = 256 * 1024;
    std::string piece(kChunk, '\0');
    ReadEach(
        name, kChunk,
        [&piece](std::size_t, std::size_t, std::size_t& room) {
            room = piece.size();
            return piece.data();
        },
        [&](std::size_t n) { sink(std::string_view(piece.data(), n)); });
}

} // namespace gridvane
