#include "base/AtomicSave.h"

#include <windows.h>

#include <random>

#include "base/Error.h"
#include "base/SystemErrorWin.h"

namespace gridvane {

struct AtomicFile::Impl {
    std::filesystem::path target;
    std::filesystem::path temp;
    SaveMessage message;
    HANDLE file = INVALID_HANDLE_VALUE;
    bool committed = false;

    // A file never committed is removed, also when the object is replaced by another.
    ~Impl()
    {
        if (committed) return;
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        if (!temp.empty()) DeleteFileW(temp.c_str());
    }

    [[noreturn]] void Fail(DWORD error) const
    {
        throw Error(message(SystemErrorText(static_cast<std::int32_t>(error))));
    }
};

AtomicFile::AtomicFile(std::filesystem::path target, SaveMessage message) : impl_(std::make_unique<Impl>())
{
    impl_->target = std::move(target);
    impl_->message = std::move(message);
    // Found now rather than at the rename, when other files of the same save may have replaced theirs.
    const DWORD attributes = GetFileAttributesW(impl_->target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        throw Error(impl_->message("it is a folder"));
    }
    std::random_device random;
    for (int attempt = 0; attempt < 16 && impl_->file == INVALID_HANDLE_VALUE; ++attempt) {
        std::filesystem::path candidate = impl_->target;
        candidate += ".tmp" + std::to_string(random() & 0xFFFFFF);
        impl_->file = CreateFileW(candidate.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (impl_->file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) impl_->Fail(GetLastError());
        if (impl_->file != INVALID_HANDLE_VALUE) impl_->temp = std::move(candidate); // only a file of ours is removed
    }
    if (impl_->file == INVALID_HANDLE_VALUE) impl_->Fail(ERROR_FILE_EXISTS);
}

AtomicFile::~AtomicFile() = default;
AtomicFile::AtomicFile(AtomicFile&&) noexcept = default;
AtomicFile& AtomicFile::operator=(AtomicFile&&) noexcept = default;

void AtomicFile::Write(std::string_view bytes)
{
    if (impl_->file == INVALID_HANDLE_VALUE) throw Error(impl_->message("the file is already closed"));
    while (!bytes.empty()) {
        const DWORD chunk = bytes.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(bytes.size());
        DWORD written = 0;
        if (!WriteFile(impl_->file, bytes.data(), chunk, &written, nullptr)) impl_->Fail(GetLastError());
        bytes.remove_prefix(written);
    }
}

void AtomicFile::Finish()
{
    if (impl_->file == INVALID_HANDLE_VALUE) return;
    if (!FlushFileBuffers(impl_->file)) impl_->Fail(GetLastError());
    const HANDLE file = impl_->file;
    impl_->file = INVALID_HANDLE_VALUE;
    if (!CloseHandle(file)) impl_->Fail(GetLastError());
}

void AtomicFile::Commit()
{
    Finish();
    if (!MoveFileExW(impl_->temp.c_str(), impl_->target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        impl_->Fail(GetLastError());
    }
    impl_->committed = true;
}

const std::filesystem::path& AtomicFile::Target() const
{
    return impl_->target;
}

} // namespace gridvane
