#include "form/EditHistory.h"

#include <algorithm>

namespace gridvane {

std::size_t EditStep::Bytes() const
{
    std::size_t bytes = sizeof(EditStep) + draws.size() * sizeof(Draw);
    for (const Text& t : texts) bytes += sizeof(Text) + (t.before.size() + t.after.size()) * sizeof(char16_t);
    return bytes;
}

std::vector<CellDraw> DrawsOf(const CellTable& table)
{
    std::vector<CellDraw> draws;
    draws.reserve(table.CellGrid.size());
    for (const TXlsxCellAttr& cell : table.CellGrid) draws.push_back(CellDraw::Of(cell));
    return draws;
}

void AddDrawChanges(const std::vector<CellDraw>& before, const CellTable& table, EditStep& step)
{
    const std::size_t n = std::min(before.size(), table.CellGrid.size());
    for (std::size_t i = 0; i < n; ++i) {
        const CellDraw now = CellDraw::Of(table.CellGrid[i]);
        if (!(now == before[i])) step.draws.push_back({i, before[i], now});
    }
}

void EditHistory::Push(EditStep step)
{
    typingOpen_ = false;
    if (step.Empty()) return;
    for (const EditStep& s : redo_) bytes_ -= s.Bytes();
    redo_.clear();
    bytes_ += step.Bytes();
    undo_.push_back(std::move(step));
    Trim();
}

void EditHistory::Typed(std::int32_t c, std::int32_t r, const std::u16string& before, const std::u16string& after)
{
    if (before == after) return;
    if (typingOpen_ && redo_.empty() && !undo_.empty() && undo_.back().typing && undo_.back().texts.size() == 1 &&
        undo_.back().texts[0].c == c && undo_.back().texts[0].r == r) {
        EditStep& last = undo_.back();
        bytes_ -= last.Bytes();
        last.texts[0].after = after;
        if (last.texts[0].after == last.texts[0].before) {
            undo_.pop_back(); // typed and taken back: nothing to undo
            typingOpen_ = false;
            return;
        }
        bytes_ += last.Bytes();
        return;
    }
    EditStep step;
    step.typing = true;
    step.texts.push_back({c, r, before, after});
    Push(std::move(step));
    typingOpen_ = true;
}

namespace {

// The last step of from, moved to the end of to; null when from has none.
template <class From, class To> const EditStep* MoveLast(From& from, To& to)
{
    if (from.empty()) return nullptr;
    to.push_back(std::move(from.back()));
    from.pop_back();
    return &to.back();
}

} // namespace

const EditStep* EditHistory::Undo()
{
    typingOpen_ = false;
    return MoveLast(undo_, redo_);
}

const EditStep* EditHistory::Redo()
{
    typingOpen_ = false;
    return MoveLast(redo_, undo_);
}

void EditHistory::Clear()
{
    undo_.clear();
    redo_.clear();
    bytes_ = 0;
    typingOpen_ = false;
}

void EditHistory::Trim()
{
    // The newest step stays, however large: the user can always take back what was just done.
    while (undo_.size() > 1 && (undo_.size() > kMaxSteps || bytes_ > kMaxBytes)) {
        bytes_ -= undo_.front().Bytes();
        undo_.pop_front();
    }
}

} // namespace gridvane
