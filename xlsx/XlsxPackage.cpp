#include "xlsx/XlsxPackage.h"

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

std::string XlsxPackage::Read(const std::string& name) const
{
    std::string data;
    zip_stat_t st;
    zip_stat_init(&st);
    // Room for the whole entry at once (ReadChunks checks the size and refuses it when too large).
    if (zip_stat(impl_->zip, name.c_str(), 0, &st) == 0 && (st.valid & ZIP_STAT_SIZE) && st.size <= kMaxZipEntryBytes) {
        data.reserve(static_cast<std::size_t>(st.size));
    }
    ReadChunks(name, [&data](std::string_view piece) { data.append(piece); });
    return data;
}

void XlsxPackage::ReadChunks(const std::string& name, const std::function<void(std::string_view)>& sink) const
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
    // The stated size is checked as the pieces come: never more is decompressed than the archive states.
    const std::size_t size = static_cast<std::size_t>(st.size);
    std::string piece(std::min<std::size_t>(size, 256 * 1024), '\0');
    std::size_t done = 0;
    while (done < size) {
        const zip_int64_t n = zip_fread(entry.file, piece.data(), std::min(piece.size(), size - done));
        if (n < 0) {
            throw Error(displayName_ + ": the part " + name + " is damaged (" +
                        zip_error_strerror(zip_file_get_error(entry.file)) + ")");
        }
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
        sink(std::string_view(piece.data(), static_cast<std::size_t>(n)));
    }
    char extra = 0;
    if (done != size || zip_fread(entry.file, &extra, 1) != 0) {
        throw Error(displayName_ + ": the part " + name + " does not have the size its archive states");
    }
}

} // namespace gridvane
