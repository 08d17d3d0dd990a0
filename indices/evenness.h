#pragma once
#include <span>

#include "indices/aci_rows.h"

namespace orvale {

struct Evenness {
    bool zeroTotal = false;  // grand total 0: the writer puts one zero cell per bin first
    double index = 0.0;      // inverse Simpson index of the per-bin shares (inf for a zero total)
};

// The rows are read in blocks of bins, so that at most a few hundred kilobytes are held.
Evenness evennessIndex(const AciRowSource& aciRows);
// aciRows: nIntervals rows of nBins values, row after row.
Evenness evennessIndex(std::span<const double> aciRows, int nIntervals, int nBins);

}  // namespace orvale
