#pragma once
#include <span>
#include <vector>

#include "indices/aci_rows.h"

namespace orvale {

// The level class of an ACI value. A quotient that no 32-bit integer holds (a zero class
// width, a huge ratio) becomes INT32_MIN, so all such values share one class.
int levelClass(double x, double maximum, double classWidth);

// Unit-cost edit distance between two class sequences.
int levenshtein(std::span<const int> a, std::span<const int> b);

struct LevResult {
    std::vector<int> lev;      // one per consecutive pair of intervals
    std::vector<int> levDiff;  // |lev - previous lev|, from the second pair on
    double levSum = 0.0;
    double levDiffSum = 0.0;
    double levRapp = 0.0;      // levDiffSum / levSum, 0 when levSum is 0
};

// No interval: no cells, zeros. The rows are read twice, one at a time.
LevResult levIndices(const AciRowSource& aciRows, int classiLev);
// aciRows: nIntervals rows of nBins values, row after row.
LevResult levIndices(std::span<const double> aciRows, int nIntervals, int nBins, int classiLev);

}  // namespace orvale
