#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "indices/shannon.h"

namespace {

// The interval's frames, followed by an end frame of huge values: the index must never read it.
struct Frames {
    std::vector<std::int32_t> values;
    int frames = 0;
    int width = 0;

    Frames(const std::vector<std::vector<std::int32_t>>& rows, int width)
        : frames(static_cast<int>(rows.size())), width(width)
    {
        for (const auto& row : rows) values.insert(values.end(), row.begin(), row.end());
        values.insert(values.end(), static_cast<std::size_t>(width), INT32_MAX);
    }
    explicit Frames(const std::vector<std::vector<std::int32_t>>& rows)
        : Frames(rows, static_cast<int>(rows.front().size())) {}
    orvale::SpectrogramView view() const { return {values, frames, width}; }
};

TEST(ShannonIndex, MeanEntropyOfTheFrames)
{
    const double ln2 = std::log(2.0), ln4 = std::log(4.0);
    const struct {
        const char* name;
        std::vector<std::vector<std::int32_t>> rows;
        std::int32_t filtro;
        int frStart, frEnd;
        double want;
    } cases[] = {
        {"four equal bins", {{5, 5, 5, 5}}, 0, 0, 4, ln4},
        {"silent frame still counts in the mean", {{5, 5, 5, 5}, {0, 0, 0, 0}}, 0, 0, 4, ln4 / 2},
        {"mean over frames", {{2, 2, 0, 0}, {1, 1, 1, 1}}, 0, 0, 4, (ln2 + ln4) / 2},
        {"value equal to filtro left out", {{5, 5, 3}}, 3, 0, 3, ln2},
        {"unequal shares", {{1, 3}}, 0, 0, 2, -(0.25 * std::log(0.25) + 0.75 * std::log(0.75))},
        {"zero skipped under a negative filtro", {{0, 4, 4}}, -1, 0, 3, ln2},
        {"band inside a wider spectrum", {{100, 3, 3, 100}}, 0, 1, 3, ln2},
    };
    for (const auto& c : cases) {
        const Frames f(c.rows);
        EXPECT_DOUBLE_EQ(orvale::shannonIndex(f.view(), c.frStart, c.frEnd, c.filtro), c.want) << c.name;
    }
}

TEST(ShannonIndex, FourEqualBinsIsLn4ToSixDecimals)
{
    const Frames f({{7, 7, 7, 7, 2}});
    EXPECT_NEAR(orvale::shannonIndex(f.view(), 0, 5, 2), 1.386294, 5e-7);
}

TEST(ShannonIndex, ZeroEntropyIsANegativeZero)
{
    const struct {
        const char* name;
        std::vector<std::vector<std::int32_t>> rows;
        std::int32_t filtro;
        int frStart, frEnd;
    } cases[] = {
        {"one bin above filtro per frame", {{0, 9, 0}, {4, 0, 0}}, 0, 0, 3},
        {"nothing above filtro", {{3, 3}}, 3, 0, 2},
        {"row sum of zero under a negative filtro", {{-5, 5}}, -10, 0, 2},
        {"empty band", {{5, 5}}, 0, 1, 1},
        {"reversed band", {{5, 5}}, 0, 2, 0},
        {"no frames", {}, 0, 0, 2},
    };
    for (const auto& c : cases) {
        const Frames f(c.rows, c.rows.empty() ? 2 : static_cast<int>(c.rows.front().size()));
        const double got = orvale::shannonIndex(f.view(), c.frStart, c.frEnd, c.filtro);
        EXPECT_EQ(got, 0.0) << c.name;
        EXPECT_TRUE(std::signbit(got)) << c.name;
    }
}

TEST(ShannonIndex, NegativeShareUnderNegativeFiltroIsNotANumber)
{
    // Row sum 2: the share of -3 is -1.5, whose logarithm does not exist.
    const Frames f({{-3, 5}, {4, 4}});
    EXPECT_TRUE(std::isnan(orvale::shannonIndex(f.view(), 0, 2, -10)));
}

}  // namespace
