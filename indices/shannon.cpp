#include "indices/shannon.h"

#include <cassert>
#include <cmath>
#include <cstddef>

namespace orvale {

double shannonIndex(const SpectrogramView& s, int frStart, int frEnd, std::int32_t filtro)
{
    const int nRows = s.frames > 0 ? s.frames : 0;
    const std::size_t nBins = frEnd > frStart ? static_cast<std::size_t>(frEnd - frStart) : 0;
    if (nBins > 0 && nRows > 0) {
        assert(frStart >= 0 && frEnd <= s.width);
        assert(s.values.size() >= static_cast<std::size_t>(nRows) * static_cast<std::size_t>(s.width));
    }

    double sum = 0.0;
    for (int r = 0; r < nRows && nBins > 0; ++r) {
        const std::int32_t* row = s.values.data() +
                                  static_cast<std::size_t>(r) * static_cast<std::size_t>(s.width) +
                                  static_cast<std::size_t>(frStart);
        double rowSum = 0.0;
        for (std::size_t b = 0; b < nBins; ++b)
            if (row[b] > filtro) rowSum += row[b];
        if (rowSum == 0.0) continue;  // a silent frame still counts in the mean
        double entropy = 0.0;
        for (std::size_t b = 0; b < nBins; ++b) {
            // A negative share under a negative filtro has no logarithm: the NaN is the result.
            if (row[b] <= filtro || row[b] == 0) continue;
            const double p = row[b] / rowSum;
            entropy += p * std::log(p);
        }
        sum += entropy;
    }
    // No frames: the sum times -1.0, a negative zero like any interval of zero entropy.
    if (nRows == 0) return sum * -1.0;
    return sum / nRows * -1.0;
}

}  // namespace orvale
