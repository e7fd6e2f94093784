#pragma once
#include <memory>
#include <string>
#include <string_view>

namespace gridvane {

namespace numfmt {
struct FormatCode;
}

/// The format code of a built-in number format id as Japanese Excel shows it; empty for an unknown id
/// (rendered as General).
std::u16string BuiltinNumberFormatCode(int id);

/// Renders cell values through number format codes as the spreadsheet displays them. Parses each code once
/// and keeps it (cache by code). Never throws on any code or value: an unusable code renders as General.
/// A date or time the spreadsheet cannot show (negative, after 9999-12-31) renders as "########", a NaN or
/// infinity as "#NUM!". One formatter per thread: the cache is not shared safely.
class NumberFormatter {
public:
    /// date1904: the workbook uses the 1904 date system.
    explicit NumberFormatter(bool date1904 = false);
    ~NumberFormatter();
    NumberFormatter(const NumberFormatter&) = delete;
    NumberFormatter& operator=(const NumberFormatter&) = delete;

    /// A number through formatCode ("General" or "" for the General form).
    std::u16string FormatNumber(double value, std::u16string_view formatCode);
    /// A text through the text section of formatCode (the text unchanged when the code has none).
    std::u16string FormatText(std::u16string_view text, std::u16string_view formatCode);
    /// A Boolean as the spreadsheet shows it whatever the format: "TRUE" or "FALSE".
    static std::u16string FormatBoolean(bool value);

    /// A code parsed once, to render many values through it as through the code's text; its holders keep
    /// it, whatever the formatter's cache forgets.
    using Parsed = std::shared_ptr<const numfmt::FormatCode>;
    /// The code parsed (from the cache when it has been before).
    Parsed Parse(std::u16string_view formatCode);
    /// FormatNumber through a parsed code.
    std::u16string FormatNumber(double value, const Parsed& code);
    /// FormatText through a parsed code.
    std::u16string FormatText(std::u16string_view text, const Parsed& code);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace gridvane
