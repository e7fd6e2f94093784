#pragma once
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace gridvane {

/// Builds the message of a failed save from the system's reason (UTF-8).
using SaveMessage = std::function<std::string(const std::string& reason)>;

/// A file saved whole or not at all. The bytes go to a new file beside the target, created exclusively
/// (a file already bearing its name is never truncated); Commit() flushes it to disk and renames it over
/// the target. Until then the target is untouched, and a file never committed is removed when this object
/// goes away. Every failure throws Error with message(reason).
class AtomicFile {
public:
    /// Creates the temporary file beside target.
    AtomicFile(std::filesystem::path target, SaveMessage message);
    ~AtomicFile();
    AtomicFile(AtomicFile&&) noexcept;
    AtomicFile& operator=(AtomicFile&&) noexcept;

    /// Appends bytes to the temporary file.
    void Write(std::string_view bytes);
    /// Flushes the temporary file to disk and closes it; what is left to Commit() is the rename only, so
    /// several files can be made ready before any of them replaces its target.
    void Finish();
    /// Finishes the file if that has not been done, then puts it in the target's place.
    void Commit();
    const std::filesystem::path& Target() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

/// Saves bytes as path through an AtomicFile.
void SaveFileAtomically(const std::filesystem::path& path, std::string_view bytes, const SaveMessage& message);

} // namespace gridvane
