// The merged areas of a sheet: indexed cell by cell up to a budget, the larger ones looked up by a scan.
#include "base/Error.h"
#include "xlsx/XlsxSheet.h"

namespace gridvane::xlsx {

void Sheet::AddMerge(const Area& a, const std::string& where)
{
    const long id = static_cast<long>(merges_.size());
    merges_.push_back(a);
    // Only the cells of the area kept are ever asked for.
    if (!keptAll_ && (a.r2 < kept_.r1 || a.r1 > kept_.r2 || a.c2 < kept_.c1 || a.c1 > kept_.c2)) return;
    const std::int64_t cells = static_cast<std::int64_t>(a.r2 - a.r1 + 1) * (a.c2 - a.c1 + 1);
    if (cells <= 4096 && mergeCellsIndexed_ + cells <= kMergeIndexBudget) {
        mergeCellsIndexed_ += cells;
        for (std::int32_t r = a.r1; r <= a.r2; ++r)
            for (std::int32_t c = a.c1; c <= a.c2; ++c) mergeCells_.emplace(Key(r, c), id);
    } else {
        // Each of these is tested for every cell looked up, so a sheet may have only a few.
        if (bigMerges_.size() >= kMaxUnindexedMerges) {
            throw Error(where + ": the sheet has more merged cells than can be read (" + std::to_string(merges_.size()) +
                        " merged areas)");
        }
        bigMerges_.push_back(id);
    }
}

long Sheet::MergeIndex(std::int32_t row, std::int32_t col) const
{
    const auto it = mergeCells_.find(Key(row, col));
    if (it != mergeCells_.end()) return it->second;
    for (long id : bigMerges_) {
        const Area& a = merges_[static_cast<std::size_t>(id)];
        if (row >= a.r1 && row <= a.r2 && col >= a.c1 && col <= a.c2) return id;
    }
    return -1;
}

} // namespace gridvane::xlsx
