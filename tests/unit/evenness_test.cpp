#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "indices/evenness.h"

namespace {

TEST(EvennessIndex, InverseSimpsonOfTheBinShares)
{
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        const char* name;
        std::vector<double> aciRows;
        int nIntervals, nBins;
        bool zeroTotal;
        double index;
    } cases[] = {
        {"totals 3 and 1", {1, 1, 2, 0}, 2, 2, false, 1.6},
        {"four equal bins", {0.5, 0.5, 0.5, 0.5}, 1, 4, false, 4.0},
        {"all in one bin of three", {0, 2, 0, 0, 1, 0}, 2, 3, false, 1.0},
        {"one bin", {3.0}, 1, 1, false, 1.0},
        {"zero total", {0, 0, 0, 0}, 2, 2, true, inf},
        {"totals cancelling to zero", {1, -1}, 1, 2, true, inf},
        {"no bins", {}, 3, 0, true, inf},
        {"negative bins count as none", {}, 3, -1, true, inf},
        {"no intervals", {}, 0, 4, true, inf},
        // Bin by bin the grand total is 1e16 - 1e16 + 1 + 1 = 2 and the index 1; row by row the
        // first 1 is lost against 1e16, the total is 1 and the index would be 0.25.
        {"grand total added bin by bin", {1e16, 1, -1e16, 1}, 2, 2, false, 1.0},
        // The bin totals round to 1e16 and -1e16, so adding them up would give a zero total;
        // value by value it is 1.
        {"grand total not taken from the bin totals", {1e16, -1e16, 1, 1}, 2, 2, false,
         1.0 / (1e16 * 1e16 + 1e16 * 1e16)},
    };
    for (const auto& c : cases) {
        const auto e = orvale::evennessIndex(c.aciRows, c.nIntervals, c.nBins);
        EXPECT_EQ(e.zeroTotal, c.zeroTotal) << c.name;
        EXPECT_DOUBLE_EQ(e.index, c.index) << c.name;
    }
}

}  // namespace
