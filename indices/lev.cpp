#include "indices/lev.h"

#include <algorithm>
#include <cassert>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace orvale {

namespace {

// One row of the distance table, overwritten in place: its last entry ends up equal to the
// full table's corner, in memory linear in the length of b.
int editDistance(std::span<const int> a, std::span<const int> b, std::vector<int>& row)
{
    assert(a.size() < INT_MAX && b.size() < INT_MAX);
    const std::size_t m = b.size();
    row.resize(m + 1);
    for (std::size_t j = 0; j <= m; ++j) row[j] = static_cast<int>(j);
    for (std::size_t i = 1; i <= a.size(); ++i) {
        const int ai = a[i - 1];
        int diag = row[0];  // entry (i-1, j-1)
        int left = static_cast<int>(i);
        row[0] = left;
        for (std::size_t j = 1; j <= m; ++j) {
            const int up = row[j];
            left = ai == b[j - 1] ? diag : 1 + std::min(std::min(diag, left), up);
            diag = up;
            row[j] = left;
        }
    }
    return row[m];
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
    std::vector<int> row;
    return editDistance(a, b, row);
}

LevResult levIndices(std::span<const double> aciRows, int nIntervals, int nBins, int classiLev)
{
    LevResult r;
    if (nIntervals <= 0) return r;
    const auto rows = static_cast<std::size_t>(nIntervals);
    const std::size_t bins = nBins > 0 ? static_cast<std::size_t>(nBins) : 0;
    assert(aciRows.size() >= rows * bins);

    std::vector<int> levClass(rows * bins);
    if (bins > 0) {
        double maximum = aciRows[0];
        for (std::size_t i = 1; i < rows * bins; ++i)
            if (aciRows[i] > maximum) maximum = aciRows[i];
        const double classWidth = maximum / classiLev;
        for (std::size_t i = 0; i < rows * bins; ++i)
            levClass[i] = levelClass(aciRows[i], maximum, classWidth);
    }

    r.lev.reserve(rows - 1);
    r.levDiff.reserve(rows > 1 ? rows - 2 : 0);
    std::vector<int> row(bins + 1);
    const std::span<const int> classes(levClass);
    for (std::size_t k = 0; k + 1 < rows; ++k) {
        const int lev = editDistance(classes.subspan(k * bins, bins),
                                     classes.subspan((k + 1) * bins, bins), row);
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

}  // namespace orvale
