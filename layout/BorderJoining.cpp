#include "layout/BorderJoining.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <compare>
#include <cstdint>
#include <cstring>

#include "base/Error.h"
#include "base/HugePages.h"

namespace gridvane {

namespace {

// The joining compares every pair of segments in list order. The same result comes from a grid of
// buckets: a point within the tolerance of another lies in the same or a neighbouring bucket (bucket
// size ten times the tolerance), so only those are searched. Each bucket keeps the indexes of its
// unmarked segments in ascending order, so "the next segment in list order that matches" is found
// exactly as the pairwise scan would find it.

constexpr double kBucketSize = kKeisenTolerance * 10;

std::uint64_t Bits(double v)
{
    if (v == 0) v = 0; // one key for -0 and +0
    std::uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

// The buckets are centred on the multiples of their size: a coordinate of a few decimals (a sum of cell
// widths) then lies in the middle of its bucket, and a look-up rarely needs a neighbouring one.
double Offset(double v) { return v / kBucketSize + 0.5; }
double Cell(double v) { return std::floor(Offset(v)); }

// The two ends of a segment of either kind of list, and a new end point for one.
struct Ends {
    double sx, sy, ex, ey;
};
Ends EndsOf(const TXlsxKeisen& k, bool) { return {k.stpt.x, k.stpt.y, k.edpt.x, k.edpt.y}; }
Ends EndsOf(const AxisKeisen& k, bool vertical)
{
    return vertical ? Ends{k.at, k.from, k.at, k.to} : Ends{k.from, k.at, k.to, k.at};
}
void SetEnd(TXlsxKeisen& k, double x, double y, bool) { k.edpt.x = x, k.edpt.y = y; }
// A joining moves the end of a vertical segment along y and that of a horizontal one along x only.
void SetEnd(AxisKeisen& k, double x, double y, bool vertical) { k.to = vertical ? y : x; }

// The coordinates of one segment as the index holds them, and whether it was marked since the index was built:
// the start point and the end's coordinate along the direction (y for a vertical segment, x for a horizontal
// one), the only one of the end the joining looks at.
struct IndexedSegment {
    double sx, sy, e;
    bool removed;
};
IndexedSegment Indexed(const Ends& k, bool vertical) { return {k.sx, k.sy, vertical ? k.ey : k.ex, false}; }

// A segment's bucket by the cells of its two coordinates, the major one (x for vertical segments, y for
// horizontal ones) as its rank among the major cells of the list, and the segment's index in the list. In
// this order a joining's walk down a column of vertical segments or along a row of horizontal ones finds the
// buckets of consecutive look-ups next to each other.
struct Entry {
    std::uint32_t rank;
    std::uint32_t index;
    std::uint64_t minor;
    friend std::strong_ordering operator<=>(const Entry& a, const Entry& b)
    {
        if (const auto c = a.rank <=> b.rank; c != 0) return c;
        if (const auto c = a.minor <=> b.minor; c != 0) return c;
        return a.index <=> b.index;
    }
};

// Empties v and makes room for n elements, keeping the memory it has: a list joined after another one
// takes no fresh memory where the first left enough.
template <class T>
void Refill(std::vector<T>& v, std::size_t n)
{
    v.clear();
    ReserveFresh(v, n);
}

} // namespace

// The arrays of the index (see SegmentIndex), kept from one list to the next.
struct KeisenJoiner::Memory {
    std::vector<Entry> entries;           // sorted
    std::vector<IndexedSegment> segments; // by position in entries
    std::vector<std::uint32_t> groupOf;   // the major cell of each unmarked segment, in list order
    std::vector<std::uint32_t> left;      // the indexes of the segments the first pass left
};

namespace {

// The start points of the unmarked segments of a list by bucket: one sorted array of (bucket, segment), built
// once, and beside it a copy of each segment's coordinates in the same order. A look-up then reads only
// these two arrays, which a walk down a column or along a row reads forward, not the list, where the
// segments of consecutive rows lie a whole row apart. A removed segment stays in the arrays and is skipped,
// so a large table costs a sort, not a heap block per bucket.
class SegmentIndex {
public:
    static constexpr std::size_t kNotFound = SIZE_MAX;

    // The list has fewer than 2^32 segments.
    template <class Segment>
    SegmentIndex(const std::vector<Segment>& list, bool vertical, KeisenJoiner::Memory& memory)
        : memory_(memory), entries_(memory.entries), segments_(memory.segments), vertical_(vertical)
    {
        // The entries sorted as std::sort would sort them, in two steps that suit a table, whose segments
        // share a few major cells (one a column or a row): a counting sort into the groups of one major cell,
        // in the order of those cells and keeping the index order within each (the distinct cells found
        // through a hash table); then each group sorted by its minor cell where it is not in order already,
        // as the segments of a column mostly are.
        std::vector<std::uint32_t>& groupOf = memory.groupOf;
        Refill(groupOf, list.size());
        std::vector<std::size_t> counts;
        std::uint64_t lastMajor = 0;
        std::uint32_t lastGroup = kNoGroup;
        for (std::size_t j = 0; j < list.size(); ++j) {
            if (list[j].mark) continue;
            const Ends e = EndsOf(list[j], vertical);
            const std::uint64_t major = Bits(Cell(vertical ? e.sx : e.sy));
            if (lastGroup == kNoGroup || major != lastMajor) { // neighbours often share it
                lastMajor = major;
                lastGroup = AddGroup(major);
                if (lastGroup == counts.size()) counts.push_back(0);
            }
            groupOf.push_back(lastGroup);
            ++counts[lastGroup];
        }
        // The groups in the order of their cells, and where each begins.
        std::vector<std::uint32_t> order(majors_.size());
        for (std::uint32_t g = 0; g < order.size(); ++g) order[g] = g;
        std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) { return majors_[a] < majors_[b]; });
        rankOf_.assign(majors_.size(), 0);
        std::vector<std::size_t> next(majors_.size());
        std::size_t at = 0;
        for (std::uint32_t r = 0; r < order.size(); ++r) rankOf_[order[r]] = r, next[order[r]] = at, at += counts[order[r]];
        // Each entry and its segment's coordinates go to their place together, the list read in order.
        Refill(entries_, groupOf.size());
        entries_.resize(groupOf.size());
        Refill(segments_, groupOf.size());
        segments_.resize(groupOf.size());
        for (std::size_t j = 0, k = 0; j < list.size(); ++j) {
            if (list[j].mark) continue;
            const std::uint32_t g = groupOf[k++];
            const Ends e = EndsOf(list[j], vertical);
            const std::size_t to = next[g]++;
            entries_[to] = {rankOf_[g], static_cast<std::uint32_t>(j), Bits(Cell(vertical ? e.sy : e.sx))};
            segments_[to] = Indexed(e, vertical);
        }
        at = 0;
        std::vector<std::pair<Entry, IndexedSegment>> group;
        for (const std::uint32_t g : order) {
            const auto first = entries_.begin() + static_cast<std::ptrdiff_t>(at), last = first + static_cast<std::ptrdiff_t>(counts[g]);
            if (!std::is_sorted(first, last)) {
                group.clear();
                for (std::size_t p = at; p < at + counts[g]; ++p) group.emplace_back(entries_[p], segments_[p]);
                std::sort(group.begin(), group.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
                for (std::size_t p = at; const auto& [entry, segment] : group) entries_[p] = entry, segments_[p++] = segment;
            }
            at += counts[g];
        }
    }

    // Calls match(segment) for the unremoved segments j > after in buckets near (x, y), each bucket in
    // ascending order of j, until match returns true; returns the position in the index of the smallest j
    // for which it returned true, or kNotFound.
    template <typename Match>
    std::size_t FirstAfter(std::size_t after, double x, double y, Match match) const
    {
        std::size_t best = SIZE_MAX, found = kNotFound;
        const double cx = Cell(x), cy = Cell(y);
        // A point within the tolerance lies at most a tenth of a bucket away: the neighbouring buckets
        // need a look only when (x, y) lies near that side of its own bucket.
        // From 2^47 bucket sizes on (1.4e9 drawing units) the division's rounding alone could move a point
        // by more than that margin: there, as for odd values, every neighbour is looked at.
        const double fx = Offset(x) - cx, fy = Offset(y) - cy;
        const bool wide = !(fx >= 0 && fx <= 1 && fy >= 0 && fy <= 1) || std::fabs(cx) >= 0x1p47 || std::fabs(cy) >= 0x1p47;
        for (double dx : {-1.0, 0.0, 1.0}) {
            if (!wide && ((dx < 0 && fx > 0.15) || (dx > 0 && fx < 0.85))) continue;
            for (double dy : {-1.0, 0.0, 1.0}) {
                if (!wide && ((dy < 0 && fy > 0.15) || (dy > 0 && fy < 0.85))) continue;
                const std::uint64_t kx = Bits(cx + dx), ky = Bits(cy + dy);
                const std::uint32_t g = FindGroup(vertical_ ? kx : ky);
                if (g == kNoGroup) continue; // no segment starts in that column or row of buckets
                const Entry target{rankOf_[g], static_cast<std::uint32_t>(after), vertical_ ? ky : kx};
                for (std::size_t at = UpperBound(target); at < entries_.size() && entries_[at].rank == target.rank &&
                                                          entries_[at].minor == target.minor && entries_[at].index < best;
                     ++at) {
                    if (!segments_[at].removed && match(segments_[at])) {
                        best = entries_[at].index, found = at;
                        break;
                    }
                }
            }
        }
        return found;
    }

    // Drops the removed segments and takes the others' coordinates from list again, where the segments that
    // absorbed others end further on. Their start points, and with them the order, are unchanged. Returns
    // the indexes of the segments kept, ascending.
    template <class Segment>
    const std::vector<std::uint32_t>& Compact(const std::vector<Segment>& list)
    {
        std::size_t kept = 0;
        for (std::size_t at = 0; at < entries_.size(); ++at) {
            if (segments_[at].removed) continue;
            const Ends k = EndsOf(list[entries_[at].index], vertical_);
            entries_[kept] = entries_[at];
            segments_[kept] = Indexed(k, vertical_);
            ++kept;
        }
        entries_.resize(kept);
        segments_.resize(kept);
        hint_ = 0;
        std::vector<std::uint32_t>& indexes = memory_.left;
        Refill(indexes, kept);
        for (std::size_t at = 0; at < kept; ++at) indexes.push_back(entries_[at].index);
        std::sort(indexes.begin(), indexes.end());
        return indexes;
    }

    // The segment at a position FirstAfter returned: its index in the list and its coordinates.
    std::size_t IndexAt(std::size_t at) const { return entries_[at].index; }
    const IndexedSegment& At(std::size_t at) const { return segments_[at]; }
    void RemoveAt(std::size_t at) { segments_[at].removed = true; }

private:
    static constexpr std::uint32_t kNoGroup = UINT32_MAX;

    static std::uint64_t Hash(std::uint64_t v)
    {
        v ^= v >> 33;
        v *= 0xFF51AFD7ED558CCDULL;
        return v ^ (v >> 33);
    }
    // The slot of table_ that holds major, or the free slot where it would go; table_ holds group + 1, 0 free.
    std::size_t Slot(std::uint64_t major) const
    {
        const std::size_t mask = table_.size() - 1;
        std::size_t i = Hash(major) & mask;
        while (table_[i] != 0 && majors_[table_[i] - 1] != major) i = (i + 1) & mask;
        return i;
    }
    std::uint32_t FindGroup(std::uint64_t major) const
    {
        const std::uint32_t g = table_[Slot(major)];
        return g == 0 ? kNoGroup : g - 1;
    }
    // The group of major, numbered in the order the majors first appear.
    std::uint32_t AddGroup(std::uint64_t major)
    {
        const std::size_t i = Slot(major);
        if (table_[i] != 0) return table_[i] - 1;
        majors_.push_back(major);
        table_[i] = static_cast<std::uint32_t>(majors_.size());
        if (majors_.size() * 2 > table_.size()) { // at most half full
            table_.assign(table_.size() * 2, 0);
            for (std::uint32_t g = 0; g < majors_.size(); ++g) table_[Slot(majors_[g])] = g + 1;
        }
        return static_cast<std::uint32_t>(majors_.size() - 1);
    }

    // The position std::upper_bound finds in entries_, searched outward from where the last search ended:
    // consecutive look-ups lie close together, so this touches a few nearby entries instead of a path
    // through the whole array.
    std::size_t UpperBound(const Entry& target) const
    {
        const std::size_t n = entries_.size();
        const auto at = [&](std::size_t i) { return entries_.begin() + static_cast<std::ptrdiff_t>(i); };
        std::size_t lo, hi;
        if (hint_ < n && !(target < entries_[hint_])) {
            // entries_[lo] <= target: the answer lies in (lo, hi].
            lo = hint_, hi = hint_ + 1;
            for (std::size_t step = 1; hi < n && !(target < entries_[hi]); step *= 2) lo = hi, hi = lo + step;
            hint_ = static_cast<std::size_t>(std::upper_bound(at(lo + 1), at(std::min(hi, n)), target) - entries_.begin());
            return hint_;
        }
        // target < entries_[hi] (or hi is the end): the answer lies in [lo, hi].
        hi = std::min(hint_, n);
        lo = hi == 0 ? 0 : hi - 1;
        for (std::size_t step = 1; lo > 0 && target < entries_[lo]; step *= 2) hi = lo, lo = hi > step ? hi - step : 0;
        hint_ = static_cast<std::size_t>(std::upper_bound(at(lo), at(hi), target) - entries_.begin());
        return hint_;
    }
    KeisenJoiner::Memory& memory_;
    std::vector<Entry>& entries_;
    std::vector<IndexedSegment>& segments_; // by position in entries_
    bool vertical_;
    std::vector<std::uint64_t> majors_;     // the distinct major cells, by group
    std::vector<std::uint32_t> table_ = std::vector<std::uint32_t>(16, 0);
    std::vector<std::uint32_t> rankOf_;     // by group
    mutable std::size_t hint_ = 0;
};

template <class Segment>
void MergeList(std::vector<Segment>& list, bool vertical, KeisenJoiner::Memory& memory)
{
    const std::size_t n = list.size();
    if (n < 2) return;
    if (n >= UINT32_MAX) throw Error("too many border segments to join"); // the index numbers them in 32 bits
    auto near = [](double a, double b) { return NearlyEqual(a, b, kKeisenTolerance); };

    // Pass 1: a segment absorbs every later segment that starts where it (by then) ends. A later segment
    // has not absorbed anything yet, so the index's copy of it is still the segment in the list.
    SegmentIndex index(list, vertical, memory);
    {
        for (std::size_t i = 0; i + 1 < n; ++i) {
            if (list[i].mark) continue;
            std::size_t after = i;
            const Ends ends = EndsOf(list[i], vertical);
            struct {
                double x, y;
            } end{ends.ex, ends.ey}; // kept here while it moves, written back once
            for (;;) {
                const std::size_t at = index.FirstAfter(after, end.x, end.y, [&](const IndexedSegment& t) {
                    return near(end.x, t.sx) && near(end.y, t.sy);
                });
                if (at == SegmentIndex::kNotFound) break;
                if (vertical) {
                    end.y = index.At(at).e;
                } else {
                    end.x = index.At(at).e;
                }
                const std::size_t j = index.IndexAt(at);
                list[j].mark = true;
                index.RemoveAt(at);
                after = j;
            }
            SetEnd(list[i], end.x, end.y, vertical);
        }
    }

    // Pass 2: a later segment that repeats one (either way round) is dropped. Only the segments pass 1 left
    // are visited, in list order: in a table, one a column or row line.
    const std::vector<std::uint32_t>& left = index.Compact(list);
    {
        for (const std::size_t i : left) {
            if (list[i].mark) continue;
            const Ends s = EndsOf(list[i], vertical);
            auto duplicate = [&](const IndexedSegment& t) {
                if (vertical) {
                    return near(s.sx, t.sx) && ((near(s.sy, t.sy) && near(s.ey, t.e)) ||
                                                (near(s.ey, t.sy) && near(s.sy, t.e)));
                }
                return near(s.ey, t.sy) && ((near(s.sx, t.sx) && near(s.ex, t.e)) ||
                                            (near(s.ex, t.sx) && near(s.sx, t.e)));
            };
            // A duplicate starts near one of the two ends of segment i.
            const std::array<std::pair<double, double>, 2> starts =
                vertical ? std::array<std::pair<double, double>, 2>{{{s.sx, s.sy}, {s.sx, s.ey}}}
                         : std::array<std::pair<double, double>, 2>{{{s.sx, s.ey}, {s.ex, s.ey}}};
            for (const auto& [qx, qy] : starts) {
                for (;;) {
                    const std::size_t at = index.FirstAfter(i, qx, qy, duplicate);
                    if (at == SegmentIndex::kNotFound) break;
                    list[index.IndexAt(at)].mark = true;
                    index.RemoveAt(at);
                }
            }
        }
    }
}

} // namespace

bool NearlyEqual(double a, double b, double tolerance)
{
    return std::fabs(a - b) <= tolerance;
}

KeisenJoiner::KeisenJoiner() : memory_(std::make_unique<Memory>()) {}
KeisenJoiner::~KeisenJoiner() = default;

void KeisenJoiner::Merge(std::vector<TXlsxKeisen>& list, bool vertical)
{
    MergeList(list, vertical, *memory_);
}

void KeisenJoiner::Merge(std::vector<AxisKeisen>& list, bool vertical)
{
    MergeList(list, vertical, *memory_);
}

void MergeKeisen(std::vector<TXlsxKeisen>& keisenV, std::vector<TXlsxKeisen>& keisenH)
{
    KeisenJoiner joiner;
    joiner.Merge(keisenV, true);
    joiner.Merge(keisenH, false);
}

} // namespace gridvane
