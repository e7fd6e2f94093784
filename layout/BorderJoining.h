#pragma once
// The joining of border segments: segments that continue one another become one, and a segment that
// repeats another is dropped, so that each border line of the drawing is one LINE entity.
#include <memory>
#include <vector>

#include "dxf/MakeR12Dxf_V.h"

namespace gridvane {

/// One border segment; mark is set once it was absorbed into another or found to duplicate one.
struct TXlsxKeisen {
    TAcadPoint stpt;
    TAcadPoint edpt;
    bool mark = false;
};

/// A border segment along an axis, as the edges of a table's cells are, in less memory: a vertical one
/// from (at, from) to (at, to), a horizontal one from (from, at) to (to, at), z 0 at both ends.
struct AxisKeisen {
    double at;
    double from;
    double to;
    bool mark = false;
};

/// Tolerance of every segment comparison.
inline constexpr double kKeisenTolerance = 0.000001;

/// |a - b| <= tolerance.
bool NearlyEqual(double a, double b, double tolerance);

/// Joins and de-duplicates vertical (keisenV) and horizontal (keisenH) segments in place by setting mark:
/// a segment absorbs every later one that starts where it ends, then a later segment that repeats one
/// (either way round) is marked, each comparison within kKeisenTolerance and in list order.
void MergeKeisen(std::vector<TXlsxKeisen>& keisenV, std::vector<TXlsxKeisen>& keisenH);

/// MergeKeisen for one list at a time: Merge(list, true) joins list as MergeKeisen joins keisenV, Merge(list,
/// false) as it joins keisenH. The working memory stays from one list to the next, so a large table's second
/// list takes no fresh memory where the first left enough.
class KeisenJoiner {
public:
    KeisenJoiner();
    ~KeisenJoiner();
    KeisenJoiner(const KeisenJoiner&) = delete;
    KeisenJoiner& operator=(const KeisenJoiner&) = delete;
    void Merge(std::vector<TXlsxKeisen>& list, bool vertical);
    /// The same for segments along the axis: the same marks and ends as for the TXlsxKeisen of the same
    /// points, the vertical ones in a list joined with vertical true.
    void Merge(std::vector<AxisKeisen>& list, bool vertical);
    struct Memory;

private:
    std::unique_ptr<Memory> memory_;
};

} // namespace gridvane
