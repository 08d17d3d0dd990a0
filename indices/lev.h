#pragma once
#include <span>
#include <vector>

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

// aciRows: nIntervals rows of nBins values, row after row. No interval: no cells, zeros.
LevResult levIndices(std::span<const double> aciRows, int nIntervals, int nBins, int classiLev);

}  // namespace orvale
