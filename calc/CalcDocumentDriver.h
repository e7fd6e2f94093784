#pragma once
// Drives a running Calc as a user would before an import: opens a workbook, selects cells, closes
// documents, ends the office. For the tests and the benchmark; the import never uses it.
#include <filesystem>
#include <memory>
#include <string_view>

#include "calc/CalcApplication.h"

namespace gridvane {

namespace calc {
class Connection;
}

class CalcDocumentDriver {
public:
    /// Connects to the office that accepts on options' pipe (it must listen already).
    explicit CalcDocumentDriver(const CalcAttachOptions& options);
    ~CalcDocumentDriver();
    CalcDocumentDriver(const CalcDocumentDriver&) = delete;
    CalcDocumentDriver& operator=(const CalcDocumentDriver&) = delete;

    /// Opens a workbook as the document in front.
    void Open(const std::filesystem::path& workbook);
    /// Opens a new chart document (not a spreadsheet) in front.
    void OpenChartDocument();
    /// Selects cells of the active sheet of the document in front through its view: "B2:D5", or several
    /// areas joined by commas.
    void Select(std::u16string_view addresses);
    /// Closes every document.
    void CloseAll();
    /// Ends the office.
    void Terminate();

private:
    std::unique_ptr<calc::Connection> uno_;
};

} // namespace gridvane
