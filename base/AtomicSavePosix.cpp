#include "base/AtomicSave.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <random>

#include "base/Error.h"

namespace gridvane {

namespace {
// The bytes one write() passes and the window of the write-behind (AtomicFile::Impl::WriteBehind).
constexpr std::size_t kWriteWindow = std::size_t{8} << 20;
} // namespace

struct AtomicFile::Impl {
    std::filesystem::path target;
    std::filesystem::path temp;
    SaveMessage message;
    int fd = -1;
    bool committed = false;
    // Write-behind of a large file (see WriteBehind): bytes written, bytes whose writeback was started, bytes
    // already on disk and dropped from the page cache.
    off_t written = 0, started = 0, dropped = 0;
    bool writeBehind = true;

    // A file never committed is removed, also when the object is replaced by another.
    ~Impl()
    {
        if (committed) return;
        if (fd >= 0) ::close(fd);
        if (!temp.empty()) ::unlink(temp.c_str());
    }

    [[noreturn]] void Fail(int error) const { throw Error(message(std::strerror(error))); }

    // A large file is handed to the disk while it is written, a window at a time: the writeback of the newest
    // window is started, the window before it is waited for and dropped from the page cache. The file then
    // holds a few windows of the page cache instead of its whole size, the same recently used pages are
    // reused for the next window rather than fresh ones taken for every byte, and the flush of Finish() finds
    // little left to do. Whether the data reached the disk is still decided by that flush.
    void WriteBehind()
    {
#ifdef __linux__
        if (!writeBehind || written - started < static_cast<off_t>(kWriteWindow)) return;
        if (::sync_file_range(fd, started, written - started, SYNC_FILE_RANGE_WRITE) != 0) return StopWriteBehind();
        if (started > dropped) {
            // Waiting here consumes a write error of the range: it must fail the save now, as the flush would.
            if (::sync_file_range(fd, dropped, started - dropped,
                                  SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER) != 0) {
                return StopWriteBehind();
            }
            (void)::posix_fadvise(fd, dropped, started - dropped, POSIX_FADV_DONTNEED); // advice only
            dropped = started;
        }
        started = written;
#endif
    }
#ifdef __linux__
    // A file system without ranged writeback ends the write-behind; any other error is the save's failure.
    void StopWriteBehind()
    {
        if (errno != EINVAL && errno != ENOSYS && errno != ESPIPE && errno != EOPNOTSUPP) Fail(errno);
        writeBehind = false;
    }
#endif
};

AtomicFile::AtomicFile(std::filesystem::path target, SaveMessage message) : impl_(std::make_unique<Impl>())
{
    impl_->target = std::move(target);
    impl_->message = std::move(message);
    // A new file keeps the mode of the one it replaces; otherwise the process's default for new files.
    mode_t mode = 0666;
    struct stat st {};
    if (::stat(impl_->target.c_str(), &st) == 0) {
        // Found now rather than at the rename, when other files of the same save may have replaced theirs.
        if (S_ISDIR(st.st_mode)) throw Error(impl_->message("it is a folder"));
        if (S_ISREG(st.st_mode)) mode = st.st_mode & 07777;
    }
    std::random_device random;
    for (int attempt = 0; attempt < 16 && impl_->fd < 0; ++attempt) {
        std::filesystem::path candidate = impl_->target;
        candidate += ".tmp" + std::to_string(random() & 0xFFFFFF);
        impl_->fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (impl_->fd < 0 && errno != EEXIST) impl_->Fail(errno);
        if (impl_->fd >= 0) impl_->temp = std::move(candidate); // only a file of ours is ever removed
    }
    if (impl_->fd < 0) impl_->Fail(EEXIST);
    if (mode != 0666) (void)::fchmod(impl_->fd, mode);
}

AtomicFile::~AtomicFile() = default;
AtomicFile::AtomicFile(AtomicFile&&) noexcept = default;
AtomicFile& AtomicFile::operator=(AtomicFile&&) noexcept = default;

void AtomicFile::Write(std::string_view bytes)
{
    if (impl_->fd < 0) throw Error(impl_->message("the file is already closed"));
    while (!bytes.empty()) {
        const ssize_t n = ::write(impl_->fd, bytes.data(), std::min(bytes.size(), kWriteWindow));
        if (n < 0) {
            if (errno == EINTR) continue;
            impl_->Fail(errno);
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
        impl_->written += n;
        impl_->WriteBehind();
    }
}

void AtomicFile::Finish()
{
    if (impl_->fd < 0) return;
    // On disk before it replaces the target: a crash after the rename must not leave an empty drawing.
    if (::fsync(impl_->fd) != 0) impl_->Fail(errno);
    const int fd = impl_->fd;
    impl_->fd = -1;
    if (::close(fd) != 0) impl_->Fail(errno);
}

void AtomicFile::Commit()
{
    Finish();
    if (::rename(impl_->temp.c_str(), impl_->target.c_str()) != 0) impl_->Fail(errno);
    impl_->committed = true;
    // The rename itself reaches the disk with the folder's entry.
    const std::filesystem::path folder = impl_->target.has_parent_path() ? impl_->target.parent_path() : ".";
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        (void)::fsync(dir);
        ::close(dir);
    }
}

const std::filesystem::path& AtomicFile::Target() const
{
    return impl_->target;
}

} // namespace gridvane
