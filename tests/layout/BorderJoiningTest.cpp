#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "layout/BorderJoining.h"

namespace gridvane {
namespace {

// The joining as the pairwise comparison of every two segments in list order: the reference.
void MergeKeisenPairwise(std::vector<TXlsxKeisen>& list, bool vertical)
{
    const double t = kKeisenTolerance;
    const std::size_t n = list.size();
    if (n < 2) return;
    for (std::size_t i = 0; i + 1 < n; ++i) {
        if (list[i].mark) continue;
        for (std::size_t j = i + 1; j < n; ++j) {
            if (list[j].mark) continue;
            if (NearlyEqual(list[i].edpt.x, list[j].stpt.x, t) && NearlyEqual(list[i].edpt.y, list[j].stpt.y, t)) {
                if (vertical) list[i].edpt.y = list[j].edpt.y;
                else list[i].edpt.x = list[j].edpt.x;
                list[j].mark = true;
            }
        }
    }
    for (std::size_t i = 0; i + 1 < n; ++i) {
        if (list[i].mark) continue;
        for (std::size_t j = i + 1; j < n; ++j) {
            if (list[j].mark) continue;
            const TXlsxKeisen& a = list[i];
            const TXlsxKeisen& b = list[j];
            bool dup;
            if (vertical) {
                dup = NearlyEqual(a.stpt.x, b.stpt.x, t) &&
                      ((NearlyEqual(a.stpt.y, b.stpt.y, t) && NearlyEqual(a.edpt.y, b.edpt.y, t)) ||
                       (NearlyEqual(a.edpt.y, b.stpt.y, t) && NearlyEqual(a.stpt.y, b.edpt.y, t)));
            } else {
                dup = NearlyEqual(a.edpt.y, b.stpt.y, t) &&
                      ((NearlyEqual(a.stpt.x, b.stpt.x, t) && NearlyEqual(a.edpt.x, b.edpt.x, t)) ||
                       (NearlyEqual(a.edpt.x, b.stpt.x, t) && NearlyEqual(a.stpt.x, b.edpt.x, t)));
            }
            if (dup) list[j].mark = true;
        }
    }
}

bool Same(const std::vector<TXlsxKeisen>& a, const std::vector<TXlsxKeisen>& b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].mark != b[i].mark || !(a[i].stpt == b[i].stpt) || !(a[i].edpt == b[i].edpt)) return false;
    return true;
}

// The list of one direction joined by MergeKeisen comes out as the pairwise joining leaves it, and so does
// it from a joiner that joined other lists of both directions before (its working memory used again).
bool JoinsAsPairwise(const std::vector<TXlsxKeisen>& list, bool vertical, KeisenJoiner& used)
{
    std::vector<TXlsxKeisen> expected = list, joined = list, again = list, empty;
    MergeKeisenPairwise(expected, vertical);
    if (vertical) MergeKeisen(joined, empty);
    else MergeKeisen(empty, joined);
    used.Merge(again, vertical);
    return Same(joined, expected) && Same(again, expected);
}

TEST(MergeKeisen, EqualsThePairwiseJoiningOnRandomLists)
{
    std::mt19937 rng(12345);
    const double t = kKeisenTolerance;
    // Coordinates on a coarse grid, nudged within, at and just beyond the tolerance.
    const double nudges[] = {0, 0, 0, 0.4 * t, -0.4 * t, 0.9 * t, -0.9 * t, 1.1 * t, -1.1 * t, 2.5 * t, 0.5e-6, -0.5e-6};
    auto coord = [&](int range) {
        return static_cast<double>(rng() % range) * 0.5 + nudges[rng() % std::size(nudges)];
    };
    KeisenJoiner used;
    for (int round = 0; round < 3000; ++round) {
        const bool vertical = round % 3 != 0;
        const int n = 1 + static_cast<int>(rng() % 40);
        const int range = 2 + static_cast<int>(rng() % 6);
        std::vector<TXlsxKeisen> list;
        for (int k = 0; k < n; ++k) {
            TXlsxKeisen s;
            if (!list.empty() && rng() % 3 == 0) {
                // Continue, repeat or reverse an earlier segment.
                const TXlsxKeisen& p = list[rng() % list.size()];
                switch (rng() % 3) {
                case 0: s.stpt = p.edpt; break;
                case 1: s.stpt = p.stpt, s.edpt = p.edpt; break;
                default: s.stpt = p.edpt, s.edpt = p.stpt; break;
                }
                if (rng() % 3 == 0) s.stpt.x += nudges[rng() % std::size(nudges)];
            } else {
                s.stpt = {coord(range), coord(range), 0};
            }
            if (s.edpt == TAcadPoint{} || rng() % 2 == 0) {
                if (vertical) s.edpt = {s.stpt.x + nudges[rng() % std::size(nudges)], s.stpt.y - 0.5 * (1 + rng() % 3), 0};
                else s.edpt = {s.stpt.x + 0.5 * (1 + rng() % 3), s.stpt.y + nudges[rng() % std::size(nudges)], 0};
            }
            list.push_back(s);
        }
        ASSERT_TRUE(JoinsAsPairwise(list, vertical, used)) << "round " << round;
    }
}

// Coordinates anywhere, not only on round values: pairs of ends at every distance around the tolerance fall on
// either side of wherever the joining's look-up divides the plane.
TEST(MergeKeisen, EqualsThePairwiseJoiningForCoordinatesAnywhere)
{
    std::mt19937 rng(777);
    const double t = kKeisenTolerance;
    std::uniform_real_distribution<double> unit(0, 1);
    KeisenJoiner used;
    for (int round = 0; round < 3000; ++round) {
        const bool vertical = round % 2 == 0;
        const int n = 2 + static_cast<int>(rng() % 30);
        // Points up to 40 tolerances away from a random origin of any size up to 1e12, where a coordinate's last
        // place comes near the tolerance.
        const double origin = (unit(rng) - 0.5) * std::pow(10.0, static_cast<double>(rng() % 13));
        auto coord = [&] { return origin + unit(rng) * 40 * t; };
        auto nudge = [&] { return (unit(rng) * 2 - 1) * (rng() % 2 == 0 ? 1.2 * t : 3 * t); };
        std::vector<TXlsxKeisen> list;
        for (int k = 0; k < n; ++k) {
            TXlsxKeisen s;
            if (!list.empty() && rng() % 2 == 0) {
                const TXlsxKeisen& p = list[rng() % list.size()];
                s.stpt = rng() % 2 == 0 ? p.edpt : p.stpt;
                s.stpt.x += nudge(), s.stpt.y += nudge();
            } else {
                s.stpt = {coord(), coord(), 0};
            }
            const double length = (1 + static_cast<double>(rng() % 20)) * t;
            if (vertical) s.edpt = {s.stpt.x + nudge(), s.stpt.y - length, 0};
            else s.edpt = {s.stpt.x + length, s.stpt.y + nudge(), 0};
            list.push_back(s);
        }
        ASSERT_TRUE(JoinsAsPairwise(list, vertical, used)) << "round " << round;
    }
}

// Segments along the axes, as a table's cell edges are, on a coarse grid nudged around the tolerance, with
// repeats, reversals and continuations: the axis form joins them as the pairwise joining joins the same
// points as TXlsxKeisen, through one joiner used for both kinds and directions.
TEST(MergeKeisen, AxisSegmentsJoinAsThePairwiseJoiningOfTheSamePoints)
{
    std::mt19937 rng(4242);
    const double t = kKeisenTolerance;
    const double nudges[] = {0, 0, 0, 0.5 * t, -0.5 * t, 0.99 * t, 1.01 * t, -1.01 * t, 3 * t};
    auto coord = [&] { return static_cast<double>(rng() % 5) * 0.5 + nudges[rng() % std::size(nudges)]; };
    KeisenJoiner used;
    for (int round = 0; round < 3000; ++round) {
        const bool vertical = rng() % 2 == 0;
        const int n = 1 + static_cast<int>(rng() % 50);
        std::vector<AxisKeisen> axis;
        for (int k = 0; k < n; ++k) {
            AxisKeisen a{coord(), coord(), coord(), rng() % 10 == 0}; // now and then marked before the joining
            if (!axis.empty() && rng() % 3 == 0) {
                const AxisKeisen& p = axis[rng() % axis.size()];
                a.at = p.at + (rng() % 2 == 0 ? 0 : nudges[rng() % std::size(nudges)]);
                switch (rng() % 3) {
                case 0: a.from = p.to; break;
                case 1: a.from = p.from, a.to = p.to; break;
                default: a.from = p.to, a.to = p.from; break;
                }
            }
            axis.push_back(a);
        }
        std::vector<TXlsxKeisen> expected;
        for (const AxisKeisen& a : axis) {
            if (vertical) expected.push_back({{a.at, a.from, 0}, {a.at, a.to, 0}, a.mark});
            else expected.push_back({{a.from, a.at, 0}, {a.to, a.at, 0}, a.mark});
        }
        MergeKeisenPairwise(expected, vertical);
        if (rng() % 4 == 0) { // the joiner also joins lists of the other kind between these
            std::vector<TXlsxKeisen> other = expected;
            used.Merge(other, !vertical);
        }
        used.Merge(axis, vertical);
        std::vector<TXlsxKeisen> joined;
        for (const AxisKeisen& a : axis) {
            if (vertical) joined.push_back({{a.at, a.from, 0}, {a.at, a.to, 0}, a.mark});
            else joined.push_back({{a.from, a.at, 0}, {a.to, a.at, 0}, a.mark});
        }
        ASSERT_TRUE(Same(joined, expected)) << "round " << round;
    }
}

} // namespace
} // namespace gridvane
