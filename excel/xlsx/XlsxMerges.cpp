// The merged areas of a sheet: indexed cell by cell up to a budget, the larger ones looked up by a scan.
#include "base/Error.h"
#include "excel/xlsx/XlsxSheet.h"

namespace gridvane::xlsx {

void Sheet::ReadMerges(pugi::xml_node ws, const std::string& where)
{
    std::int64_t indexed = 0;
    for (pugi::xml_node m : ws.child("mergeCells").children("mergeCell")) {
        Area a;
        if (!ParseArea(m.attribute("ref").as_string(), a)) {
            throw Error(where + ": invalid merged area \"" + m.attribute("ref").as_string() + "\"");
        }
        const long id = static_cast<long>(merges_.size());
        merges_.push_back(a);
        const std::int64_t cells = static_cast<std::int64_t>(a.r2 - a.r1 + 1) * (a.c2 - a.c1 + 1);
        if (cells <= 4096 && indexed + cells <= kMergeIndexBudget) {
            indexed += cells;
            for (std::int32_t r = a.r1; r <= a.r2; ++r)
                for (std::int32_t c = a.c1; c <= a.c2; ++c) mergeCells_.emplace(Key(r, c), id);
        } else {
            // Each of these is tested for every cell looked up, so a sheet may have only a few.
            if (bigMerges_.size() >= kMaxUnindexedMerges) {
                throw Error(where + ": the sheet has more merged cells than can be read (" +
                            std::to_string(merges_.size()) + " merged areas)");
            }
            bigMerges_.push_back(id);
        }
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
