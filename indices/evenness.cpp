#include "indices/evenness.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace orvale {

Evenness evennessIndex(const AciRowSource& aciRows)
{
    const std::size_t rows = aciRows.rows() > 0 ? static_cast<std::size_t>(aciRows.rows()) : 0;
    const std::size_t bins = aciRows.bins() > 0 ? static_cast<std::size_t>(aciRows.bins()) : 0;

    // The grand total is added bin by bin, each bin row by row, never from the bin totals:
    // the order decides the rounding. The rows are read a block of bins at a time.
    constexpr std::size_t kBlockValues = 32768;
    const std::size_t width = std::clamp<std::size_t>(kBlockValues / std::max<std::size_t>(rows, 1), 1,
                                                      std::max<std::size_t>(bins, 1));
    std::vector<double> block(rows * std::min(width, bins));
    std::vector<double> binTot(bins, 0.0);
    double aciGrandTot = 0.0;
    for (std::size_t j0 = 0; j0 < bins; j0 += width) {
        const std::size_t w = std::min(width, bins - j0);
        for (std::size_t r = 0; r < rows; ++r)
            aciRows.read(static_cast<int>(r), static_cast<int>(j0), std::span<double>(block).subspan(r * w, w));
        for (std::size_t j = 0; j < w; ++j)
            for (std::size_t r = 0; r < rows; ++r) {
                const double v = block[r * w + j];
                binTot[j0 + j] += v;
                aciGrandTot += v;
            }
    }

    Evenness e;
    double sumSquares = 0.0;
    if (aciGrandTot == 0.0) {
        e.zeroTotal = true;
    } else {
        for (std::size_t j = 0; j < bins; ++j) {
            const double p = binTot[j] / aciGrandTot;
            sumSquares += p * p;
        }
    }
    e.index = 1.0 / sumSquares;  // infinite for a zero total
    return e;
}

Evenness evennessIndex(std::span<const double> aciRows, int nIntervals, int nBins)
{
    return evennessIndex(RowsInMemory(aciRows, nIntervals, nBins));
}

}  // namespace orvale
