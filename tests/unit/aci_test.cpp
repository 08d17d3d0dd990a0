#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <vector>

#include "indices/aci.h"

namespace {

using orvale::IntervalGeometry;
using orvale::SpectrogramView;

constexpr std::int32_t kMax = INT32_MAX;
constexpr std::int32_t kMin = INT32_MIN;

// An interval spectrogram built from rows; the last row given is the end frame.
struct Spect {
    std::vector<std::int32_t> values;
    int frames = 0;
    int width = 0;

    explicit Spect(const std::vector<std::vector<std::int32_t>>& rows)
        : frames(static_cast<int>(rows.size()) - 1), width(static_cast<int>(rows.front().size()))
    {
        for (const auto& row : rows) values.insert(values.end(), row.begin(), row.end());
    }
    // One bin: each value is a frame, the last one the end frame.
    static Spect column(const std::vector<std::int32_t>& values)
    {
        std::vector<std::vector<std::int32_t>> rows;
        for (auto v : values) rows.push_back({v});
        return Spect(rows);
    }
    SpectrogramView view() const { return {values, frames, width}; }
};

// An interval of n frames starting at t0, as the driver would place it.
IntervalGeometry geo(int t0, int n, int nFrames = 100, int fftlen = 512)
{
    return {t0, t0 + n, nFrames, fftlen};
}

void expectSame(const std::optional<double>& got, const std::optional<double>& want, const char* what)
{
    ASSERT_EQ(got.has_value(), want.has_value()) << what;
    if (want) {
        EXPECT_DOUBLE_EQ(*got, *want) << what;
    }
}

TEST(IntervalAci, OneBinStatisticsAndAciOverTime)
{
    // aci is aciNum / aciDen, written out as the hand-derived quotient.
    const struct {
        const char* name;
        std::vector<std::int32_t> column;  // frames, then the end frame
        std::int32_t filtro;
        IntervalGeometry g;
        std::int64_t powSum, freqCount;
        std::optional<double> aci;
    } cases[] = {
        {"end frame in aciDen, not in powSum", {10, 14, 20}, 0, geo(0, 2), 24, 2, 10.0 / 44},
        {"value equal to filtro left out", {5, 14, 20}, 5, geo(0, 2), 14, 1, 6.0 / 34},
        {"successor at filtro: no difference", {14, 5, 20}, 5, geo(0, 2), 14, 1, 0.0 / 34},
        {"never above filtro: undefined", {1, 2, 3}, 5, geo(0, 2), 0, 0, std::nullopt},
        {"constant above filtro: defined zero", {7, 7, 7}, 0, geo(0, 2), 14, 2, 0.0},
        {"end frame below filtro", {10, 14, 3}, 5, geo(0, 2), 24, 2, 4.0 / 24},
        {"only the end frame above filtro", {1, 1, 9}, 5, geo(0, 2), 0, 0, 0.0 / 9},
        {"no end-frame addition when n >= t1*fftlen", {10, 14, 20}, 0, geo(0, 2, 100, 1), 24, 2,
         10.0 / 24},
        {"t1*fftlen of 2^31 still adds the end frame", {10, 14, 20}, 0, geo(65534, 2, 100000, 32768),
         24, 2, 10.0 / 44},
        {"frame t0+j past the sound: no difference", {10, 14, 20}, 0, geo(3, 2, 4), 24, 2, 4.0 / 44},
        {"row j past nFrames: no statistics either", {10, 14, 20}, 0, geo(0, 2, 1), 10, 1, 4.0 / 30},
        {"no frames: the end frame alone", {20}, 0, geo(5, 0), 0, 0, 0.0 / 20},
        {"negative values above a negative filtro", {-4, -6, -10}, -20, geo(0, 2), -10, 2, 6.0 / -20},
        {"differences past 32 bits", {kMax, -kMax, kMax}, kMin, geo(0, 2), 0, 2, 4.0},
    };
    for (const auto& c : cases) {
        const Spect s = Spect::column(c.column);
        const auto r = orvale::intervalAci(s.view(), 0, 1, c.filtro, c.g);
        ASSERT_EQ(r.powSum.size(), 1u) << c.name;
        EXPECT_EQ(r.powSum[0], c.powSum) << c.name;
        EXPECT_EQ(r.freqCount[0], c.freqCount) << c.name;
        expectSame(r.aci[0], c.aci, c.name);
        EXPECT_TRUE(r.aciIf.empty()) << c.name;
        EXPECT_EQ(r.aciIfTot, 0.0) << c.name;
    }
}

TEST(IntervalAci, WorkedExampleFormatsAsSixDecimals)
{
    const Spect s = Spect::column({10, 14, 20});
    const auto r = orvale::intervalAci(s.view(), 0, 1, 0, geo(0, 2));
    ASSERT_TRUE(r.aci[0]);
    char text[32];
    std::snprintf(text, sizeof text, "%f", *r.aci[0]);
    EXPECT_STREQ(text, "0.227273");
}

TEST(IntervalAci, AcrossFrequency)
{
    const struct {
        const char* name;
        std::vector<std::vector<std::int32_t>> rows;  // frames, then the end frame
        std::int32_t filtro;
        IntervalGeometry g;
        std::vector<std::optional<double>> aciIf;
        double aciIfTot;
    } cases[] = {
        {"upper neighbour at filtro: defined zero", {{10, 4}, {3, 8}}, 5, geo(0, 1), {0.0 / 14}, 0.0},
        {"upper neighbour in sumF below filtro", {{10, 4}, {10, 6}, {9, 8}}, 5, geo(0, 2),
         {4.0 / 47}, 4.0 / 47},
        {"lower bin never above filtro: undefined", {{3, 10}, {3, 10}}, 5, geo(0, 1), {std::nullopt},
         0.0},
        {"end-frame pair added", {{10, 20}, {5, 1}}, 0, geo(0, 1), {10.0 / 36}, 10.0 / 36},
        {"no end-frame addition", {{10, 20}, {5, 1}}, 0, geo(0, 1, 100, 1), {10.0 / 30}, 10.0 / 30},
        {"frame t0+j past the sound: in sumF, not in the difference", {{10, 20}, {10, 30}, {0, 0}}, 0,
         geo(3, 2, 4), {10.0 / 70}, 10.0 / 70},
        {"row j past nFrames: in neither", {{10, 20}, {10, 30}, {0, 0}}, 0, geo(0, 2, 1), {10.0 / 30},
         10.0 / 30},
        {"total of the defined values in bin order", {{10, 20, 0, 0, 5, 8}, {0, 0, 0, 0, 0, 0}}, 0,
         geo(0, 1), {10.0 / 30, 0.0 / 20, std::nullopt, std::nullopt, 3.0 / 13},
         10.0 / 30 + 0.0 + 3.0 / 13},
        {"differences and sums past 32 bits", {{kMax, -kMax}, {kMax, kMax}}, kMin, geo(0, 1), {1.0}, 1.0},
    };
    for (const auto& c : cases) {
        const Spect s(c.rows);
        const auto r = orvale::intervalAci(s.view(), 0, s.width, c.filtro, c.g);
        ASSERT_EQ(r.aciIf.size(), c.aciIf.size()) << c.name;
        for (std::size_t b = 0; b < c.aciIf.size(); ++b) expectSame(r.aciIf[b], c.aciIf[b], c.name);
        EXPECT_DOUBLE_EQ(r.aciIfTot, c.aciIfTot) << c.name;
    }
}

TEST(IntervalAci, AcrossFrequencyExampleAlsoGivesDefinedZerosOverTime)
{
    // Bin 0: 10 then the end frame's 3, which is at most filtro. Bin 1: 4, then 8 in the end frame.
    const Spect s({{10, 4}, {3, 8}});
    const auto r = orvale::intervalAci(s.view(), 0, 2, 5, geo(0, 1));
    EXPECT_EQ(r.powSum, (std::vector<std::int64_t>{10, 0}));
    EXPECT_EQ(r.freqCount, (std::vector<std::int64_t>{1, 0}));
    expectSame(r.aci[0], 0.0, "bin 0");
    expectSame(r.aci[1], 0.0, "bin 1: aciDen is the end frame alone");
}

TEST(IntervalAci, BandInsideAWiderSpectrum)
{
    // Columns 0 and 3 lie outside the band [1, 3); reading them would change every result.
    const Spect s({{900, 10, 20, 900}, {900, 15, 22, 900}});
    const auto r = orvale::intervalAci(s.view(), 1, 3, 0, geo(0, 1));
    EXPECT_EQ(r.powSum, (std::vector<std::int64_t>{10, 20}));
    EXPECT_EQ(r.freqCount, (std::vector<std::int64_t>{1, 1}));
    expectSame(r.aci[0], 5.0 / 25, "bin 1");
    expectSame(r.aci[1], 2.0 / 42, "bin 2");
    ASSERT_EQ(r.aciIf.size(), 1u);
    expectSame(r.aciIf[0], 10.0 / 67, "pair 1-2");
}

TEST(IntervalAci, EmptyAndOneBinBands)
{
    const Spect s({{10, 20, 30}, {10, 20, 30}});
    const struct { const char* name; int frStart, frEnd; std::size_t nBins; } cases[] = {
        {"empty", 1, 1, 0}, {"reversed", 3, 1, 0}, {"one bin", 2, 3, 1}, {"first bin", 0, 1, 1},
    };
    for (const auto& c : cases) {
        const auto r = orvale::intervalAci(s.view(), c.frStart, c.frEnd, 0, geo(0, 1));
        EXPECT_EQ(r.powSum.size(), c.nBins) << c.name;
        EXPECT_EQ(r.freqCount.size(), c.nBins) << c.name;
        EXPECT_EQ(r.aci.size(), c.nBins) << c.name;
        EXPECT_TRUE(r.aciIf.empty()) << c.name;
        EXPECT_EQ(r.aciIfTot, 0.0) << c.name;
    }
    const auto one = orvale::intervalAci(s.view(), 2, 3, 0, geo(0, 1));
    EXPECT_EQ(one.powSum[0], 30);
    expectSame(one.aci[0], 0.0, "constant bin");
}

TEST(IntervalAci, SumsOfALoudBinPass32Bits)
{
    // 1000 frames alternating 4,400,000 and 4,400,002 next to a constant 4,400,000 bin,
    // end frame 4,400,000 in both: every power sum is far past 2^32.
    constexpr int n = 1000;
    std::vector<std::vector<std::int32_t>> rows;
    for (int j = 0; j < n; ++j) rows.push_back({j % 2 ? 4400002 : 4400000, 4400000});
    rows.push_back({4400000, 4400000});
    const Spect s(rows);
    const auto r = orvale::intervalAci(s.view(), 0, 2, 0, geo(0, n, 5000));

    EXPECT_EQ(r.powSum, (std::vector<std::int64_t>{4400001000, 4400000000}));
    EXPECT_EQ(r.freqCount, (std::vector<std::int64_t>{n, n}));
    // Bin 0 changes by 2 between every two frames, the last frame and the end frame included.
    expectSame(r.aci[0], 2000.0 / (4400001000.0 + 4400000), "alternating bin");
    expectSame(r.aci[1], 0.0, "constant bin");
    // Pair: half the rows differ by 2; sumF holds both bins of every row and of the end frame.
    expectSame(r.aciIf[0], 1000.0 / (4400001000.0 + 4400000000.0 + 8800000), "pair");
}

// The definitions taken literally, frame by frame: 64-bit sums, and the two sums of
// the difference across frequency in doubles, in frame order.
struct PlainAci {
    std::vector<std::int64_t> powSum, freqCount, aciNum, aciDen;
    std::vector<double> sumF, aciIfNum;
    explicit PlainAci(std::size_t bins)
        : powSum(bins), freqCount(bins), aciNum(bins), aciDen(bins), sumF(bins - 1), aciIfNum(bins - 1) {}

    void pair(const std::vector<std::int32_t>& cur, const std::vector<std::int32_t>& next, std::int32_t f, bool inSound)
    {
        for (std::size_t b = 0; b < cur.size(); ++b) {
            const std::int64_t v = cur[b];
            if (v <= f) continue;
            powSum[b] += v;
            aciDen[b] += v;
            ++freqCount[b];
            if (inSound && next[b] > f) aciNum[b] += std::abs(v - next[b]);
            if (b + 1 == cur.size()) continue;
            sumF[b] += double(v + cur[b + 1]);
            if (inSound && cur[b + 1] > f) aciIfNum[b] += double(std::abs(v - cur[b + 1]));
        }
    }
    void end(const std::vector<std::int32_t>& row, std::int32_t f)
    {
        for (std::size_t b = 0; b < row.size(); ++b) {
            if (row[b] <= f) continue;
            aciDen[b] += row[b];
            if (b + 1 < row.size()) sumF[b] += double(std::int64_t(row[b]) + row[b + 1]);
        }
    }
};

TEST(IntervalAci, FrameByFrameMatchesTheDefinitionsUpToAndPastTwoMillionFrames)
{
    // Up to 2^21 - 1 frames every sum is exact in a double; past 2^21 frames of values near
    // 2^31 the sums pass 2^53 and the order of the double additions shows.
    constexpr std::int32_t f = kMin;
    constexpr std::size_t bins = 7;  // several groups of adjacent bins and a remainder
    const auto frame = [](int j) {
        std::vector<std::int32_t> row(bins);
        for (std::size_t b = 0; b < bins; ++b) {
            const std::int64_t k = std::int64_t(j) * 7 + std::int64_t(b) * 13;
            // Bin 0 swings across the whole range: its difference sum grows fastest.
            const std::int32_t loud = b == 0 ? (j % 2 ? -kMax / 2 - 1 : kMax) : kMax - static_cast<std::int32_t>(k % 1000);
            row[b] = k % 101 == 0 ? kMin : loud;
        }
        return row;
    };
    for (int n : {(1 << 21) - 1, (1 << 21) + (1 << 20)}) {
        const IntervalGeometry g{0, n, n + 1, 512};
        orvale::AciAccumulator acc(0, static_cast<int>(bins), f, g, n);
        PlainAci plain(bins);
        std::vector<std::int32_t> previous = frame(0);
        acc.addFrame(previous);
        for (int j = 1; j <= n; ++j) {
            const std::vector<std::int32_t> row = frame(j);
            acc.addFrame(row);
            plain.pair(previous, row, f, true);
            previous = row;
        }
        plain.end(previous, f);
        const auto r = acc.finish();
        EXPECT_EQ(r.powSum, plain.powSum) << n;
        EXPECT_EQ(r.freqCount, plain.freqCount) << n;
        double aciIfTot = 0.0;
        for (std::size_t b = 0; b < bins; ++b) {
            const auto aci = plain.aciDen[b] != 0 ? std::optional(double(plain.aciNum[b]) / double(plain.aciDen[b]))
                                                  : std::nullopt;
            EXPECT_EQ(r.aci[b], aci) << n << " bin " << b;
            if (b + 1 == bins) continue;
            const auto aciIf = plain.sumF[b] != 0.0 ? std::optional(plain.aciIfNum[b] / plain.sumF[b]) : std::nullopt;
            EXPECT_EQ(r.aciIf[b], aciIf) << n << " pair " << b;
            if (aciIf) aciIfTot += *aciIf;
        }
        EXPECT_EQ(r.aciIfTot, aciIfTot) << n;
        if (n > 1 << 21) {
            EXPECT_GT(plain.aciNum[0], std::int64_t(1) << 53) << "the long case must pass 2^53";
            EXPECT_GT(plain.sumF[1], 0x1p53) << "the long case must pass 2^53";
        }
    }
}

}  // namespace
