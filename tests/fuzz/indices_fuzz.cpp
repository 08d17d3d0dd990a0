// libFuzzer target over the pure index routines: arbitrary spectrograms, ACI tables, class
// sequences and settings, within each routine's stated preconditions. Besides running them
// under the sanitizers, each result is compared with a plain model written from the
// definitions (bin by bin, the full distance table), so a fast path that drifts is a crash.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "indices/aci.h"
#include "indices/evenness.h"
#include "indices/lev.h"
#include "indices/shannon.h"

namespace {

using orvale::SpectrogramView;

[[noreturn]] void mismatch(const char* what)
{
    std::fprintf(stderr, "index fuzz: %s differs from the model\n", what);
    std::abort();
}

// Equal as values, or both NaN (of any sign): the model computes in the same order.
bool same(double a, double b) { return (std::isnan(a) && std::isnan(b)) || std::memcmp(&a, &b, sizeof a) == 0; }
bool same(const std::optional<double>& a, const std::optional<double>& b)
{
    return a.has_value() == b.has_value() && (!a || same(*a, *b));
}

std::int32_t spectrumValue(FuzzedDataProvider& in, int kind)
{
    switch (kind) {
    case 0: return in.ConsumeIntegralInRange<std::int32_t>(-3, 12);  // many repeats and ties
    case 1: return in.ConsumeIntegralInRange<std::int32_t>(0, 2000000);
    case 2: return in.PickValueInArray<std::int32_t>({INT32_MIN, INT32_MIN + 1, -1, 0, 1, INT32_MAX - 1, INT32_MAX});
    default: return in.ConsumeIntegral<std::int32_t>();
    }
}

std::int32_t setting(FuzzedDataProvider& in)
{
    return in.ConsumeBool() ? in.ConsumeIntegralInRange<std::int32_t>(-5, 40) : in.ConsumeIntegral<std::int32_t>();
}

double anyDouble(FuzzedDataProvider& in)
{
    switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0: return in.ConsumeIntegralInRange(-4, 9) * 0.25;
    case 1: return in.ConsumeFloatingPointInRange(-1e3, 1e3);
    default: {
        // Raw bits: infinities, NaNs, subnormals, the largest doubles.
        const auto bits = in.ConsumeIntegral<std::uint64_t>();
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return d;
    }
    }
}

int modelDistance(const std::vector<int>& a, const std::vector<int>& b)
{
    std::vector<std::vector<int>> d(a.size() + 1, std::vector<int>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = static_cast<int>(i);
    for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = static_cast<int>(j);
    for (std::size_t i = 1; i <= a.size(); ++i)
        for (std::size_t j = 1; j <= b.size(); ++j)
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
    return d[a.size()][b.size()];
}

std::vector<int> classSequence(FuzzedDataProvider& in, std::size_t length, int alphabet)
{
    std::vector<int> s(length);
    for (auto& c : s) c = alphabet > 0 ? in.ConsumeIntegralInRange(0, alphabet - 1) : in.ConsumeIntegral<int>();
    return s;
}

void fuzzLevenshtein(FuzzedDataProvider& in)
{
    // Lengths past 64 cross words of the bit-parallel form; more than 256 classes take its
    // other way of building the match masks.
    const int alphabet = in.PickValueInArray({1, 2, 3, 7, 64, 300, 1000, 0});
    const auto la = in.ConsumeIntegralInRange<std::size_t>(0, 320);
    const auto lb = in.ConsumeIntegralInRange<std::size_t>(0, 320);
    const auto a = classSequence(in, la, alphabet);
    const auto b = in.ConsumeBool() ? a : classSequence(in, lb, alphabet);
    if (orvale::levenshtein(a, b) != modelDistance(a, b)) mismatch("levenshtein");
}

int modelClass(double x, double maximum, double width)
{
    const double q = x != maximum ? x / width : x / width - 1.0;
    const double t = std::trunc(q);
    return t >= -2147483648.0 && t <= 2147483647.0 ? static_cast<int>(t) : INT32_MIN;
}

void fuzzLevelClass(FuzzedDataProvider& in)
{
    const double x = anyDouble(in), maximum = anyDouble(in), width = anyDouble(in);
    if (orvale::levelClass(x, maximum, width) != modelClass(x, maximum, width)) mismatch("levelClass");
}

std::vector<double> aciTable(FuzzedDataProvider& in, std::size_t cells)
{
    std::vector<double> rows(cells);
    const bool plain = in.ConsumeBool();
    for (auto& v : rows) v = plain ? in.ConsumeIntegralInRange(0, 50) * 0.01 : anyDouble(in);
    return rows;
}

void fuzzLevIndices(FuzzedDataProvider& in)
{
    const int nIntervals = in.ConsumeIntegralInRange(-1, 30);
    const int nBins = in.ConsumeIntegralInRange(-1, 80);
    const int classiLev = setting(in);
    const std::size_t rows = nIntervals > 0 ? nIntervals : 0, bins = nBins > 0 ? nBins : 0;
    const auto table = aciTable(in, rows * bins);
    const orvale::LevResult r = orvale::levIndices(table, nIntervals, nBins, classiLev);

    const std::size_t pairs = rows > 0 ? rows - 1 : 0;
    if (r.lev.size() != pairs || r.levDiff.size() != (pairs > 0 ? pairs - 1 : 0)) mismatch("levIndices sizes");
    if (rows == 0) return;
    std::vector<std::vector<int>> classes(rows, std::vector<int>(bins));
    if (bins > 0) {
        double maximum = table[0];
        for (double v : table)
            if (v > maximum) maximum = v;
        const double width = maximum / classiLev;
        for (std::size_t k = 0; k < rows; ++k)
            for (std::size_t b = 0; b < bins; ++b) classes[k][b] = modelClass(table[k * bins + b], maximum, width);
    }
    double levSum = 0.0, levDiffSum = 0.0;
    for (std::size_t k = 0; k < pairs; ++k) {
        const int lev = modelDistance(classes[k], classes[k + 1]);
        if (r.lev[k] != lev) mismatch("lev");
        levSum += lev;
        if (k > 0) {
            const int diff = std::abs(lev - r.lev[k - 1]);
            if (r.levDiff[k - 1] != diff) mismatch("levDiff");
            levDiffSum += diff;
        }
    }
    if (!same(r.levSum, levSum) || !same(r.levDiffSum, levDiffSum) ||
        !same(r.levRapp, levSum != 0.0 ? levDiffSum / levSum : 0.0))
        mismatch("lev sums");
}

void fuzzEvenness(FuzzedDataProvider& in)
{
    const int nIntervals = in.ConsumeIntegralInRange(-1, 30);
    const int nBins = in.ConsumeIntegralInRange(-1, 80);
    const std::size_t rows = nIntervals > 0 ? nIntervals : 0, bins = nBins > 0 ? nBins : 0;
    const auto table = aciTable(in, rows * bins);
    const orvale::Evenness e = orvale::evennessIndex(table, nIntervals, nBins);

    std::vector<double> binTot(bins, 0.0);
    double total = 0.0;
    for (std::size_t b = 0; b < bins; ++b)
        for (std::size_t k = 0; k < rows; ++k) {
            binTot[b] += table[k * bins + b];
            total += table[k * bins + b];
        }
    double squares = 0.0;
    if (total != 0.0)
        for (double t : binTot) squares += (t / total) * (t / total);
    if (e.zeroTotal != (total == 0.0) || !same(e.index, 1.0 / squares)) mismatch("evennessIndex");
}

// An interval spectrogram: `frames` rows and the end frame, `width` values each.
struct Spectrogram {
    std::vector<std::int32_t> values;
    int frames = 0;
    int width = 0;
    SpectrogramView view() const { return {values, frames, width}; }
    std::int64_t at(int row, int bin) const { return values[static_cast<std::size_t>(row) * width + bin]; }
};

Spectrogram spectrogram(FuzzedDataProvider& in, int minFrames)
{
    Spectrogram s;
    s.width = in.ConsumeIntegralInRange(0, 40);
    s.frames = in.ConsumeIntegralInRange(minFrames, 24);
    const int kind = in.ConsumeIntegralInRange(0, 3);
    s.values.resize(static_cast<std::size_t>(std::max(s.frames + 1, 0)) * s.width);
    for (auto& v : s.values) v = spectrumValue(in, kind);
    return s;
}

void fuzzShannon(FuzzedDataProvider& in)
{
    const Spectrogram s = spectrogram(in, -1);
    const int frStart = in.ConsumeIntegralInRange(0, s.width);
    const int frEnd = in.ConsumeIntegralInRange(0, s.width);
    const std::int32_t filtro = setting(in);
    const double got = orvale::shannonIndex(s.view(), frStart, frEnd, filtro);

    const int rows = std::max(s.frames, 0);
    double sum = 0.0;
    for (int r = 0; r < rows; ++r) {
        double rowSum = 0.0;
        for (int b = frStart; b < frEnd; ++b)
            if (s.at(r, b) > filtro) rowSum += s.at(r, b);
        if (rowSum == 0.0) continue;
        double entropy = 0.0;
        for (int b = frStart; b < frEnd; ++b) {
            const std::int64_t v = s.at(r, b);
            if (v > filtro && v != 0) entropy += v / rowSum * std::log(v / rowSum);
        }
        sum += entropy;
    }
    if (!same(got, rows == 0 ? sum * -1.0 : sum / rows * -1.0)) mismatch("shannonIndex");
}

void fuzzAci(FuzzedDataProvider& in)
{
    const Spectrogram s = spectrogram(in, -1);
    const int frStart = in.ConsumeIntegralInRange(0, s.width);
    const int frEnd = in.ConsumeIntegralInRange(0, s.width);
    const std::int32_t filtro = setting(in);
    const orvale::IntervalGeometry g{setting(in), setting(in), setting(in), setting(in)};
    const orvale::IntervalAci r = orvale::intervalAci(s.view(), frStart, frEnd, filtro, g);

    const int nBins = std::max(frEnd - frStart, 0);
    const std::size_t pairs = nBins > 1 ? nBins - 1 : 0;
    if (r.powSum.size() != static_cast<std::size_t>(nBins) || r.freqCount.size() != r.powSum.size() ||
        r.aci.size() != r.powSum.size() || r.aciIf.size() != pairs)
        mismatch("intervalAci sizes");
    const int n = s.frames;
    const bool endFrame = n >= 0 && std::int64_t(n) < std::int64_t(g.t1) * g.fftlen;
    const auto counted = [&](int j) { return j < g.nFrames; };           // statistics and sums
    const auto inSound = [&](int j) { return std::int64_t(g.t0) + j < g.nFrames; };  // differences
    double tot = 0.0;
    for (int b = frStart; b < frEnd; ++b) {
        std::int64_t pow = 0, count = 0, num = 0;
        for (int j = 0; j < n; ++j) {
            const std::int64_t v = s.at(j, b), next = s.at(j + 1, b);
            if (!counted(j) || v <= filtro) continue;
            pow += v;
            ++count;
            if (inSound(j) && next > filtro) num += std::abs(v - next);
        }
        std::int64_t den = pow;
        if (endFrame && s.at(n, b) > filtro) den += s.at(n, b);
        const std::size_t k = static_cast<std::size_t>(b - frStart);
        const std::optional<double> aci = n >= 0 && den != 0 ? std::optional(double(num) / double(den)) : std::nullopt;
        if ((n >= 0 && (r.powSum[k] != pow || r.freqCount[k] != count)) || !same(r.aci[k], aci)) mismatch("aci");

        if (b + 1 >= frEnd) continue;
        double sumF = 0.0, ifNum = 0.0;
        for (int j = 0; j < n; ++j) {
            const std::int64_t v = s.at(j, b), w = s.at(j, b + 1);
            if (!counted(j) || v <= filtro) continue;
            sumF += double(v + w);
            if (inSound(j) && w > filtro) ifNum += double(std::abs(v - w));
        }
        if (endFrame && s.at(n, b) > filtro) sumF += double(s.at(n, b) + s.at(n, b + 1));
        const std::optional<double> aciIf = n >= 0 && sumF != 0.0 ? std::optional(ifNum / sumF) : std::nullopt;
        if (!same(r.aciIf[k], aciIf)) mismatch("aciIf");
        if (aciIf) tot += *aciIf;
    }
    if (!same(r.aciIfTot, tot)) mismatch("aciIfTot");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    switch (in.ConsumeIntegralInRange(0, 5)) {
    case 0: fuzzLevenshtein(in); break;
    case 1: fuzzLevelClass(in); break;
    case 2: fuzzLevIndices(in); break;
    case 3: fuzzEvenness(in); break;
    case 4: fuzzShannon(in); break;
    default: fuzzAci(in); break;
    }
    return 0;
}
