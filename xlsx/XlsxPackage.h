#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace gridvane {

/// Limits that keep a hostile workbook from taking the machine.
inline constexpr std::uint64_t kMaxZipEntryBytes = 256ull * 1024 * 1024; // uncompressed, per entry
inline constexpr std::uint64_t kMaxZipRatio = 200;                         // uncompressed : compressed
inline constexpr std::int64_t kMaxZipEntries = 10000;
inline constexpr int kMaxXmlDepth = 256;
// The parsed tree of one XML part takes about 64 bytes per element or text and 40 per attribute, several
// times the part's size: parts whose tree would pass this are refused before it is built.
inline constexpr std::uint64_t kMaxXmlTreeBytes = 640ull << 20;

/// A workbook's zip container, read-only. Every failure throws Error naming the file and the problem.
class XlsxPackage {
public:
    /// Opens path; throws Error when it is missing, not a zip, or has too many entries.
    explicit XlsxPackage(const std::filesystem::path& path);
    /// Closes the container.
    ~XlsxPackage();
    XlsxPackage(const XlsxPackage&) = delete;
    XlsxPackage& operator=(const XlsxPackage&) = delete;

    /// True when the container holds the entry (a name without leading "/").
    bool Has(const std::string& name) const;
    /// The whole entry, checked against the size and ratio limits. Throws Error when missing or broken.
    std::string Read(const std::string& name) const;
    /// The same entry under the same checks, handed to sink piece by piece as it is decompressed (the
    /// whole entry is never held). Throws Error when missing, broken or of another size than stated.
    void ReadChunks(const std::string& name, const std::function<void(std::string_view)>& sink) const;
    /// The file's name for messages (UTF-8).
    const std::string& DisplayName() const { return displayName_; }

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::string displayName_;
};

} // namespace gridvane
