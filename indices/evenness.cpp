#include "indices/evenness.h"

#include <cassert>
#include <cstddef>
#include <vector>

namespace orvale {

Evenness evennessIndex(std::span<const double> aciRows, int nIntervals, int nBins)
{
    const std::size_t rows = nIntervals > 0 ? static_cast<std::size_t>(nIntervals) : 0;
    const std::size_t bins = nBins > 0 ? static_cast<std::size_t>(nBins) : 0;
    assert(aciRows.size() >= rows * bins);

    // The grand total is added bin by bin, each bin row by row, never from the bin totals:
    // the order decides the rounding.
    std::vector<double> binTot(bins, 0.0);
    double aciGrandTot = 0.0;
    for (std::size_t j = 0; j < bins; ++j)
        for (std::size_t r = 0; r < rows; ++r) {
            const double v = aciRows[r * bins + j];
            binTot[j] += v;
            aciGrandTot += v;
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

}  // namespace orvale
