#include "indices/lev.h"

#include <algorithm>
#include <cassert>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <utility>

namespace orvale {

namespace {

// Scratch of the edit distance, kept across the pairs of one call.
struct EditWork {
    std::vector<std::pair<int, std::uint32_t>> byValue;  // (class, position in a), sorted
    std::vector<int> symbols;                            // distinct classes of a, sorted
    std::vector<std::uint64_t> masks;                    // one match mask per symbol
    std::vector<std::uint64_t> peq, vp, vn;
};

// Bit-parallel edit distance (Myers, in Hyyro's blocked form): one bit per element of a holds
// the vertical step of the distance table's column, 64 rows per word, so a pair of 32768-bin
// rows costs 512 words per column instead of 32768 cells. The result is the table's corner.
int editDistance(std::span<const int> a, std::span<const int> b, EditWork& w)
{
    assert(a.size() < INT_MAX && b.size() < INT_MAX);
    if (a.empty()) return static_cast<int>(b.size());
    if (b.empty()) return static_cast<int>(a.size());
    const std::size_t m = a.size();
    const std::size_t words = (m + 63) / 64;
    const std::uint64_t last = std::uint64_t{1} << ((m - 1) % 64);
    const auto bit = [](std::uint32_t i) { return std::uint64_t{1} << (i % 64); };

    w.byValue.resize(m);
    for (std::size_t i = 0; i < m; ++i) w.byValue[i] = {a[i], static_cast<std::uint32_t>(i)};
    std::sort(w.byValue.begin(), w.byValue.end());
    w.symbols.clear();
    for (const auto& [value, i] : w.byValue)
        if (w.symbols.empty() || w.symbols.back() != value) w.symbols.push_back(value);

    // Few classes (the usual case): a mask per class, made once. Many classes: each column's
    // mask is made from the positions of its class, so memory stays linear in any case.
    const bool perSymbol = w.symbols.size() <= 256;
    if (perSymbol) {
        w.masks.assign(w.symbols.size() * words, 0);
        std::size_t s = 0;
        for (const auto& [value, i] : w.byValue) {
            if (w.symbols[s] != value) ++s;
            w.masks[s * words + i / 64] |= bit(i);
        }
    }
    w.peq.assign(words, 0);
    w.vp.assign(words, ~std::uint64_t{0});  // column 0: every step down is +1
    w.vn.assign(words, 0);

    int score = static_cast<int>(m);
    for (const int c : b) {
        const std::uint64_t* pm = w.peq.data();  // all zero unless c occurs in a
        auto lo = w.byValue.end(), hi = lo;
        if (perSymbol) {
            const auto sym = std::lower_bound(w.symbols.begin(), w.symbols.end(), c);
            if (sym != w.symbols.end() && *sym == c)
                pm = w.masks.data() + static_cast<std::size_t>(sym - w.symbols.begin()) * words;
        } else {
            lo = std::lower_bound(w.byValue.begin(), w.byValue.end(),
                                  std::pair<int, std::uint32_t>{c, 0});
            for (hi = lo; hi != w.byValue.end() && hi->first == c; ++hi)
                w.peq[hi->second / 64] |= bit(hi->second);
        }

        std::uint64_t hpCarry = 1, hnCarry = 0;  // row 0 grows by one per column
        for (std::size_t k = 0; k < words; ++k) {
            const std::uint64_t x = pm[k] | hnCarry;
            const std::uint64_t vp = w.vp[k], vn = w.vn[k];
            const std::uint64_t d0 = (((x & vp) + vp) ^ vp) | x | vn;
            std::uint64_t hp = vn | ~(d0 | vp);
            std::uint64_t hn = d0 & vp;
            if (k + 1 == words) {
                if (hp & last) ++score;
                else if (hn & last) --score;
            }
            const std::uint64_t hpOut = hp >> 63, hnOut = hn >> 63;
            hp = (hp << 1) | hpCarry;
            hn = (hn << 1) | hnCarry;
            hpCarry = hpOut;
            hnCarry = hnOut;
            w.vp[k] = hn | ~(d0 | hp);
            w.vn[k] = hp & d0;
        }

        for (auto it = lo; it != hi; ++it) w.peq[it->second / 64] = 0;
    }
    return score;
}

}  // namespace

int levelClass(double x, double maximum, double classWidth)
{
    // The -1.0 keeps the maximum out of a class of its own above all others.
    const double q = x != maximum ? x / classWidth : x / classWidth - 1.0;
    const double t = std::trunc(q);
    // What the hardware conversion gives for NaN and out-of-range values; a cast would be undefined.
    if (!(t >= double(INT32_MIN) && t <= double(INT32_MAX))) return INT32_MIN;
    return static_cast<int>(t);
}

int levenshtein(std::span<const int> a, std::span<const int> b)
{
    EditWork w;
    return editDistance(a, b, w);
}

LevResult levIndices(const AciRowSource& aciRows, int classiLev)
{
    LevResult r;
    const int nIntervals = aciRows.rows();
    if (nIntervals <= 0) return r;
    const auto rows = static_cast<std::size_t>(nIntervals);
    const std::size_t bins = aciRows.bins() > 0 ? static_cast<std::size_t>(aciRows.bins()) : 0;

    std::vector<double> values(bins);
    double maximum = 0.0;
    double classWidth = 0.0;
    if (bins > 0) {
        // Value by value in row order, the first one as the start: a NaN there stays.
        for (std::size_t k = 0; k < rows; ++k) {
            aciRows.read(static_cast<int>(k), 0, values);
            for (std::size_t b = 0; b < bins; ++b)
                if ((k == 0 && b == 0) || values[b] > maximum) maximum = values[b];
        }
        classWidth = maximum / classiLev;
    }
    // Two rows of classes at a time: a long recording's classes are never held whole.
    std::vector<int> previous(bins), current(bins);
    const auto classify = [&](std::size_t k, std::vector<int>& out) {
        if (bins == 0) return;
        aciRows.read(static_cast<int>(k), 0, values);
        for (std::size_t b = 0; b < bins; ++b) out[b] = levelClass(values[b], maximum, classWidth);
    };
    classify(0, current);

    r.lev.reserve(rows - 1);
    r.levDiff.reserve(rows > 1 ? rows - 2 : 0);
    EditWork work;
    for (std::size_t k = 0; k + 1 < rows; ++k) {
        previous.swap(current);
        classify(k + 1, current);
        const int lev = editDistance(previous, current, work);
        if (k > 0) {
            const int levDiff = std::abs(lev - r.lev.back());
            r.levDiff.push_back(levDiff);
            r.levDiffSum += levDiff;
        }
        r.lev.push_back(lev);
        r.levSum += lev;
    }
    r.levRapp = r.levSum != 0.0 ? r.levDiffSum / r.levSum : 0.0;
    return r;
}

LevResult levIndices(std::span<const double> aciRows, int nIntervals, int nBins, int classiLev)
{
    return levIndices(RowsInMemory(aciRows, nIntervals, nBins), classiLev);
}

}  // namespace orvale
