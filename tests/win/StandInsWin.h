#pragma once
// Stand-ins for the running spreadsheet and the running CAD, for the window's tests: automation objects
// in this process, put into the running-object table under classes of their own, with the real
// applications' ProgIDs pointed at those classes for the current user. Everything else (the ProgID
// look-up, GetActiveObject, every late-bound call) goes through the system as with the real programs.
#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model/CellTable.h"

namespace gridvane::test {

/// The worksheet the spreadsheet stand-in serves: a selection whose first cell is at row1, col1, with
/// the cells of a table (its imported fields) and their texts.
struct StandInSheet {
    std::u16string workbook = u"Book1.xlsx";
    std::u16string sheet = u"Sheet1";
    std::int32_t row1 = 1, col1 = 1;
    CellTable table;
    std::vector<std::u16string> texts; // row by row, as table.CellGrid
    std::vector<std::pair<std::int32_t, std::int32_t>> divisionByZero; // (row, col) whose Value2 is #DIV/0!
};

/// Points progId at clsid for the current user while it lives; restores the previous state.
class ProgIdRedirect {
public:
    ProgIdRedirect(std::u16string_view progId, const GUID& clsid);
    ~ProgIdRedirect();
    ProgIdRedirect(const ProgIdRedirect&) = delete;
    ProgIdRedirect& operator=(const ProgIdRedirect&) = delete;

private:
    std::wstring progId_;
    HKEY root_ = nullptr;
};

/// The running spreadsheet: the application object in the running-object table for as long as it lives.
class SpreadsheetStandIn {
public:
    explicit SpreadsheetStandIn(StandInSheet sheet);
    ~SpreadsheetStandIn();
    SpreadsheetStandIn(const SpreadsheetStandIn&) = delete;
    SpreadsheetStandIn& operator=(const SpreadsheetStandIn&) = delete;

    /// ScreenUpdating as last written, and how often it was written.
    bool ScreenUpdating() const;
    int ScreenUpdatingWrites() const;
    /// Objects handed out and not yet released.
    int LiveObjects() const;

    struct State;

private:
    std::shared_ptr<State> state_;
    IDispatch* application_ = nullptr;
    DWORD cookie_ = 0;
    std::unique_ptr<ProgIdRedirect> redirect_;
};

/// The running CAD: its application object with the HWND property and the command line.
class CadStandIn {
public:
    explicit CadStandIn(HWND window);
    ~CadStandIn();
    CadStandIn(const CadStandIn&) = delete;
    CadStandIn& operator=(const CadStandIn&) = delete;

    /// Every command line sent, in order.
    const std::vector<std::u16string>& Commands() const;

    class Server;

private:
    Server* server_ = nullptr;
    DWORD cookie_ = 0;
    std::unique_ptr<ProgIdRedirect> redirect_;
};

} // namespace gridvane::test
