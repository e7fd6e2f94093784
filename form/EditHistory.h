#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "model/CellTable.h"
#include "settings/Settings.h"

// The steps the user can undo and redo: what each change to the table did, as the values before and after.

namespace gridvane {

/// The fields of a cell that the size, alignment and settings edits change.
struct CellDraw {
    double drawW = 0, drawH = 0, drawTH = 0, drawMW = 0, drawMH = 0; // drawing units
    std::uint8_t txtAlign = 0;

    static CellDraw Of(const TXlsxCellAttr& cell)
    {
        return {cell.drawW, cell.drawH, cell.drawTH, cell.drawMW, cell.drawMH, cell.txtAlign};
    }
    void ApplyTo(TXlsxCellAttr& cell) const
    {
        cell.drawW = drawW, cell.drawH = drawH, cell.drawTH = drawTH, cell.drawMW = drawMW, cell.drawMH = drawMH;
        cell.txtAlign = txtAlign;
    }
    bool operator==(const CellDraw&) const = default;
};

/// One step: the grid texts, the cells' drawing fields and the settings it changed.
struct EditStep {
    struct Text {
        std::int32_t c, r; // grid cell
        std::u16string before, after;
    };
    struct Draw {
        std::size_t index; // into CellGrid
        CellDraw before, after;
    };
    std::vector<Text> texts;
    std::vector<Draw> draws;
    std::optional<TSettings> settingsBefore, settingsAfter;
    bool typing = false; // keystrokes into one cell, merged while the user goes on typing there

    bool Empty() const { return texts.empty() && draws.empty() && !settingsBefore; }
    /// A rough count of the memory the step holds.
    std::size_t Bytes() const;
};

/// The cells whose drawing fields differ between before (CellDraw::Of each cell, as taken before a change)
/// and table, appended to step.
void AddDrawChanges(const std::vector<CellDraw>& before, const CellTable& table, EditStep& step);
/// CellDraw::Of every cell of table.
std::vector<CellDraw> DrawsOf(const CellTable& table);

/// The undo and redo stacks. A new step empties the redo stack; the oldest steps go when there are more
/// than kMaxSteps or they hold more than kMaxBytes.
class EditHistory {
public:
    static constexpr std::size_t kMaxSteps = 200;
    static constexpr std::size_t kMaxBytes = std::size_t{256} << 20;

    /// Adds a step that is not empty.
    void Push(EditStep step);
    /// A keystroke's change of grid cell (c, r): merged into the step of the keystrokes before it when they
    /// went into the same cell and nothing else happened since; a step that comes back to where it started
    /// is dropped.
    void Typed(std::int32_t c, std::int32_t r, const std::u16string& before, const std::u16string& after);
    /// The next keystroke starts a step of its own (the user moved to another cell, or did something else).
    void EndTyping() { typingOpen_ = false; }
    /// The step to undo, moved to the redo stack; null when there is none.
    const EditStep* Undo();
    /// The step to redo, moved back to the undo stack; null when there is none.
    const EditStep* Redo();
    bool CanUndo() const { return !undo_.empty(); }
    bool CanRedo() const { return !redo_.empty(); }
    void Clear();
    std::size_t UndoSteps() const { return undo_.size(); }

private:
    void Trim();

    std::deque<EditStep> undo_;
    std::vector<EditStep> redo_;
    std::size_t bytes_ = 0; // of undo_ and redo_
    bool typingOpen_ = false;
};

} // namespace gridvane
