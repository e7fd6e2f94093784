#include "layout/BorderJoining.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <compare>
#include <cstdint>
#include <cstring>

#include "base/HugePages.h"

namespace gridvane {

namespace {

// The joining compares every pair of segments in list order. The same result comes from a grid of
// buckets: a point within the tolerance of another lies in the same or a neighbouring bucket (bucket
// size ten times the tolerance), so only those are searched. Each bucket keeps the indexes of its
// unmarked segments in ascending order, so "the next segment in list order that matches" is found
// exactly as the pairwise scan would find it.

constexpr double kBucketSize = kKeisenTolerance * 10;

// A bucket by the cells of its two coordinates, major one first: x for vertical segments, y for horizontal
// ones. A joining walks down a column of vertical segments or along a row of horizontal ones, and in that
// order the buckets of consecutive look-ups lie next to each other in the index.
struct BucketKey {
    std::uint64_t major, minor;
    auto operator<=>(const BucketKey&) const = default;
};

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

// The coordinates of one segment as the index holds them, and whether it was marked since the index was built.
struct IndexedSegment {
    double sx, sy, ex, ey;
    bool removed;
};

// A segment's bucket and its index in the list.
struct Entry {
    BucketKey key;
    std::size_t index;
    auto operator<=>(const Entry&) const = default;
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
    std::vector<Entry> unsorted, entries; // entries: sorted by bucket, then index
    std::vector<IndexedSegment> segments; // by position in entries
    std::vector<std::size_t> groupOf;     // the sort's group of each unsorted entry
    std::vector<std::size_t> left;        // the indexes of the segments the first pass left
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

    SegmentIndex(const std::vector<TXlsxKeisen>& list, bool vertical, KeisenJoiner::Memory& memory)
        : memory_(memory), entries_(memory.entries), segments_(memory.segments)
    {
        std::vector<Entry>& entries = memory.unsorted;
        Refill(entries, list.size());
        for (std::size_t j = 0; j < list.size(); ++j) {
            if (list[j].mark) continue;
            const std::uint64_t cx = Bits(Cell(list[j].stpt.x)), cy = Bits(Cell(list[j].stpt.y));
            entries.push_back({vertical ? BucketKey{cx, cy} : BucketKey{cy, cx}, j});
        }
        SortByKey(entries, entries_, memory.groupOf);
        Refill(segments_, entries_.size());
        for (const Entry& e : entries_) {
            const TXlsxKeisen& k = list[e.index];
            segments_.push_back({k.stpt.x, k.stpt.y, k.edpt.x, k.edpt.y, false});
        }
        vertical_ = vertical;
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
                const BucketKey key = vertical_ ? BucketKey{kx, ky} : BucketKey{ky, kx};
                for (std::size_t at = UpperBound(Entry{key, after});
                     at < entries_.size() && entries_[at].key == key && entries_[at].index < best; ++at) {
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
    const std::vector<std::size_t>& Compact(const std::vector<TXlsxKeisen>& list)
    {
        std::size_t kept = 0;
        for (std::size_t at = 0; at < entries_.size(); ++at) {
            if (segments_[at].removed) continue;
            const TXlsxKeisen& k = list[entries_[at].index];
            entries_[kept] = entries_[at];
            segments_[kept] = {k.stpt.x, k.stpt.y, k.edpt.x, k.edpt.y, false};
            ++kept;
        }
        entries_.resize(kept);
        segments_.resize(kept);
        hint_ = 0;
        std::vector<std::size_t>& indexes = memory_.left;
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
    // The entries, made in ascending index order, sorted as std::sort sorts them, in two steps that suit a
    // table, whose segments share a few major coordinates (one a column or a row): first a counting sort
    // into the groups of one major key, in the order of those keys and keeping the index order within each
    // (the distinct keys found through a hash table); then each group sorted by its minor key where it is
    // not in order already, as the segments of a column mostly are.
    static void SortByKey(const std::vector<Entry>& entries, std::vector<Entry>& sorted, std::vector<std::size_t>& groupOf)
    {
        if (entries.size() < 2) {
            sorted.assign(entries.begin(), entries.end());
            return;
        }
        const auto hash = [](std::uint64_t v) {
            v ^= v >> 33;
            v *= 0xFF51AFD7ED558CCDULL;
            return v ^ (v >> 33);
        };
        // The distinct major keys, numbered in the order they first appear; table holds number + 1, 0 free.
        std::vector<std::uint64_t> majors;
        std::vector<std::size_t> table(16, 0);
        const auto slot = [&](std::uint64_t major) {
            const std::size_t mask = table.size() - 1;
            std::size_t i = hash(major) & mask;
            while (table[i] != 0 && majors[table[i] - 1] != major) i = (i + 1) & mask;
            return i;
        };
        Refill(groupOf, entries.size());
        groupOf.resize(entries.size());
        for (std::size_t k = 0; k < entries.size(); ++k) {
            const std::uint64_t major = entries[k].key.major;
            if (k > 0 && major == entries[k - 1].key.major) { // neighbours often share it
                groupOf[k] = groupOf[k - 1];
                continue;
            }
            const std::size_t i = slot(major);
            if (table[i] == 0) {
                majors.push_back(major);
                table[i] = majors.size();
                if (majors.size() * 2 > table.size()) { // at most half full
                    table.assign(table.size() * 2, 0);
                    for (std::size_t g = 0; g < majors.size(); ++g) table[slot(majors[g])] = g + 1;
                }
            }
            groupOf[k] = table[slot(major)] - 1;
        }
        // The groups in the order of their keys, and where each begins.
        std::vector<std::size_t> order(majors.size()), counts(majors.size(), 0), next(majors.size());
        for (std::size_t g = 0; g < order.size(); ++g) order[g] = g;
        std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return majors[a] < majors[b]; });
        for (const std::size_t g : groupOf) ++counts[g];
        std::size_t at = 0;
        for (const std::size_t g : order) next[g] = at, at += counts[g];
        Refill(sorted, entries.size());
        sorted.resize(entries.size());
        for (std::size_t k = 0; k < entries.size(); ++k) sorted[next[groupOf[k]]++] = entries[k];
        // Within a group the major keys are equal: by minor key, then index.
        at = 0;
        for (const std::size_t g : order) {
            const auto first = sorted.begin() + static_cast<std::ptrdiff_t>(at), last = first + static_cast<std::ptrdiff_t>(counts[g]);
            if (!std::is_sorted(first, last)) std::sort(first, last);
            at += counts[g];
        }
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
    bool vertical_ = false;
    mutable std::size_t hint_ = 0;
};

void MergeList(std::vector<TXlsxKeisen>& list, bool vertical, KeisenJoiner::Memory& memory)
{
    const std::size_t n = list.size();
    if (n < 2) return;
    auto near = [](double a, double b) { return NearlyEqual(a, b, kKeisenTolerance); };

    // Pass 1: a segment absorbs every later segment that starts where it (by then) ends. A later segment
    // has not absorbed anything yet, so the index's copy of it is still the segment in the list.
    SegmentIndex index(list, vertical, memory);
    {
        for (std::size_t i = 0; i + 1 < n; ++i) {
            if (list[i].mark) continue;
            std::size_t after = i;
            TAcadPoint end = list[i].edpt; // kept here while it moves, written back once
            for (;;) {
                const std::size_t at = index.FirstAfter(after, end.x, end.y, [&](const IndexedSegment& t) {
                    return near(end.x, t.sx) && near(end.y, t.sy);
                });
                if (at == SegmentIndex::kNotFound) break;
                if (vertical) {
                    end.y = index.At(at).ey;
                } else {
                    end.x = index.At(at).ex;
                }
                const std::size_t j = index.IndexAt(at);
                list[j].mark = true;
                index.RemoveAt(at);
                after = j;
            }
            list[i].edpt = end;
        }
    }

    // Pass 2: a later segment that repeats one (either way round) is dropped. Only the segments pass 1 left
    // are visited, in list order: in a table, one a column or row line.
    const std::vector<std::size_t>& left = index.Compact(list);
    {
        for (const std::size_t i : left) {
            if (list[i].mark) continue;
            const TXlsxKeisen s = list[i];
            auto duplicate = [&](const IndexedSegment& t) {
                if (vertical) {
                    return near(s.stpt.x, t.sx) && ((near(s.stpt.y, t.sy) && near(s.edpt.y, t.ey)) ||
                                                    (near(s.edpt.y, t.sy) && near(s.stpt.y, t.ey)));
                }
                return near(s.edpt.y, t.sy) && ((near(s.stpt.x, t.sx) && near(s.edpt.x, t.ex)) ||
                                                 (near(s.edpt.x, t.sx) && near(s.stpt.x, t.ex)));
            };
            // A duplicate starts near one of the two ends of segment i.
            const std::array<std::pair<double, double>, 2> starts =
                vertical ? std::array<std::pair<double, double>, 2>{{{s.stpt.x, s.stpt.y}, {s.stpt.x, s.edpt.y}}}
                         : std::array<std::pair<double, double>, 2>{{{s.stpt.x, s.edpt.y}, {s.edpt.x, s.edpt.y}}};
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

void MergeKeisen(std::vector<TXlsxKeisen>& keisenV, std::vector<TXlsxKeisen>& keisenH)
{
    KeisenJoiner joiner;
    joiner.Merge(keisenV, true);
    joiner.Merge(keisenH, false);
}

} // namespace gridvane
