#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "indices/lev.h"

namespace {

TEST(LevelClass, TruncatesTheQuotientAndKeepsTheMaximumBelowClassiLev)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct { const char* name; double x, maximum, classWidth; int want; } cases[] = {
        // 0.9 / (0.9 / 7) is 6.999999999999999, so the maximum falls to class 5.
        {"maximum of 0.9 with 7 classes", 0.9, 0.9, 0.9 / 7, 5},
        {"0.45 with 7 classes", 0.45, 0.9, 0.9 / 7, 3},
        {"exact maximum", 1.0, 1.0, 0.25, 3},
        {"value just below the maximum", 0.75, 1.0, 0.25, 3},
        {"class boundary", 0.5, 1.0, 0.25, 2},
        {"toward zero, not down", -0.3, 1.0, 0.25, -1},
        {"truncation still in range", 2147483647.5, 4e9, 1.0, INT32_MAX},
        {"negative truncation in range", -2147483647.9, 4e9, 1.0, -2147483647},
        {"past 2^31", 3e9, 4e9, 1.0, INT32_MIN},
        {"zero class width, zero value", 0.0, 0.0, 0.0, INT32_MIN},
        {"zero class width, positive value", 1.0, 2.0, 0.0, INT32_MIN},
        {"zero class width, negative value", -1.0, 2.0, 0.0, INT32_MIN},
        {"not a number", nan, 1.0, 0.25, INT32_MIN},
    };
    for (const auto& c : cases)
        EXPECT_EQ(orvale::levelClass(c.x, c.maximum, c.classWidth), c.want) << c.name;
}

std::vector<int> seq(const std::string& s) { return {s.begin(), s.end()}; }

TEST(Levenshtein, UnitCostEditDistance)
{
    const struct { const char* a; const char* b; int want; } cases[] = {
        {"123", "234", 2}, {"123", "123", 0}, {"", "", 0}, {"", "12", 2}, {"123", "", 3},
        {"kitten", "sitting", 3}, {"flaw", "lawn", 2}, {"saturday", "sunday", 3}, {"ab", "ba", 2},
        {"abcdef", "azced", 3},
    };
    for (const auto& c : cases) {
        const auto a = seq(c.a), b = seq(c.b);
        EXPECT_EQ(orvale::levenshtein(a, b), c.want) << c.a << " / " << c.b;
        EXPECT_EQ(orvale::levenshtein(b, a), c.want) << c.b << " / " << c.a;
    }
}

// The distance table filled cell by cell, the plain way.
int tableDistance(const std::vector<int>& a, const std::vector<int>& b)
{
    std::vector<std::vector<int>> d(a.size() + 1, std::vector<int>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = static_cast<int>(i);
    for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = static_cast<int>(j);
    for (std::size_t i = 1; i <= a.size(); ++i)
        for (std::size_t j = 1; j <= b.size(); ++j)
            d[i][j] = a[i - 1] == b[j - 1]
                          ? d[i - 1][j - 1]
                          : 1 + std::min({d[i - 1][j - 1], d[i][j - 1], d[i - 1][j]});
    return d[a.size()][b.size()];
}

TEST(Levenshtein, MatchesTheFullTableAcrossWordBoundaries)
{
    // Lengths around multiples of 64 and alphabets from two classes to nearly all distinct,
    // with the INT32_MIN class of out-of-range quotients among them; 520 elements drawn from
    // 1000 classes hold a few hundred distinct ones.
    std::mt19937 gen(20240601);
    const int lengths[] = {1, 2, 63, 64, 65, 127, 128, 129, 200, 520};
    const int alphabets[] = {2, 3, 8, 1000};
    for (const int alphabet : alphabets)
        for (const int la : lengths)
            for (const int lb : {1, 64, 65, 130, la}) {
                std::uniform_int_distribution<int> pick(0, alphabet - 1);
                const auto draw = [&](int n) {
                    std::vector<int> v(static_cast<std::size_t>(n));
                    for (auto& x : v) x = pick(gen) == 0 ? INT32_MIN : pick(gen);
                    return v;
                };
                const auto a = draw(la), b = draw(lb);
                ASSERT_EQ(orvale::levenshtein(a, b), tableDistance(a, b))
                    << "alphabet " << alphabet << ", lengths " << la << " / " << lb;
            }
}

struct LevCase {
    const char* name;
    std::vector<double> aciRows;
    int nIntervals, nBins, classiLev;
    std::vector<int> lev, levDiff;
    double levSum, levDiffSum, levRapp;
};

TEST(LevIndices, DistancesBetweenConsecutiveIntervals)
{
    const LevCase cases[] = {
        // classiLev 8 and maximum 1.0: width 0.125, classes 1 2 3 / 2 3 4 / 2 3 4 / 7 0 0 / 7 0 0.
        {"shifts, repeats and a jump",
         {0.125, 0.25, 0.375, 0.25, 0.375, 0.5, 0.25, 0.375, 0.5, 1.0, 0.0, 0.0, 1.0, 0.0, 0.0}, 5, 3,
         8, {2, 0, 3, 0}, {2, 3, 3}, 5.0, 8.0, 1.6},
        // The maximum 0.9 lands in class 5 with 0.7; 0.6 is in class 4.
        {"maximum shares a class below classiLev", {0.9, 0.7, 0.6}, 3, 1, 7, {0, 1}, {1}, 1.0, 1.0, 1.0},
        // Scaled by the first value instead of the largest, 0.1 and 0.2 would part.
        {"maximum found past the first value", {0.1, 0.2, 0.8}, 3, 1, 2, {0, 1}, {1}, 1.0, 1.0, 1.0},
        {"two identical rows", {0.3, 0.1, 0.3, 0.1}, 2, 2, 4, {0}, {}, 0.0, 0.0, 0.0},
        {"two intervals: no levDiff", {0.1, 1.0}, 2, 1, 4, {1}, {}, 1.0, 0.0, 0.0},
        {"silent sound: one class for all", {0, 0, 0, 0, 0, 0}, 3, 2, 7, {0, 0}, {0}, 0.0, 0.0, 0.0},
        {"no bins", {}, 3, 0, 7, {0, 0}, {0}, 0.0, 0.0, 0.0},
        {"negative bins count as none", {}, 3, -2, 7, {0, 0}, {0}, 0.0, 0.0, 0.0},
        {"one interval: no pair", {0.4, 0.8}, 1, 2, 7, {}, {}, 0.0, 0.0, 0.0},
        {"no interval: no maximum read", {}, 0, 4, 7, {}, {}, 0.0, 0.0, 0.0},
        {"negative interval count", {}, -1, 4, 7, {}, {}, 0.0, 0.0, 0.0},
    };
    for (const auto& c : cases) {
        const auto r = orvale::levIndices(c.aciRows, c.nIntervals, c.nBins, c.classiLev);
        EXPECT_EQ(r.lev, c.lev) << c.name;
        EXPECT_EQ(r.levDiff, c.levDiff) << c.name;
        EXPECT_EQ(r.levSum, c.levSum) << c.name;
        EXPECT_EQ(r.levDiffSum, c.levDiffSum) << c.name;
        EXPECT_DOUBLE_EQ(r.levRapp, c.levRapp) << c.name;
    }
}

}  // namespace
