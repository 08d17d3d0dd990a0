#pragma once
#include <cstdint>
#include <vector>

#include "driver/aci_row_store.h"
#include "driver/analysis_params.h"
#include "driver/checked_allocator.h"
#include "driver/host.h"

namespace orvale {

struct RunTotals;

// One sound's running results, released when the sound is done.
struct FileAccumulators {
    // Rows that do not stay in memory go to a scratch file named from scratchPrefix.
    FileAccumulators(int nBins, std::string scratchPrefix);

    int nBins;
    int nIfBins;                       // adjacent pairs: nBins - 1, none for fewer than two bins
    std::vector<std::int64_t> totPow;  // per bin, over all intervals
    std::vector<std::int64_t> totFreq;
    AciRowStore aciRows;               // nIntervals rows of nBins
    CheckedVector<double> aciTot;      // nBins: the ACI rows summed, interval by interval
    CheckedVector<double> aciIfTot;    // nIfBins: the ACI-If rows summed, interval by interval
    int nIntervals = 0;
    double shannonSum = 0.0;
    CheckedVector<std::int32_t> row;   // the frame being read, reused
    std::vector<double> aciRow;        // the interval's ACI row as it is stored

    // The same text for every frame: kept as objects, Tcl compiles them once per sound.
    KeptObject frameScript{kFrameScript};
    KeptObject unsetLista{"unset lista"};
    KeptObject iName{"i"};

    static const char kFrameScript[];
};

// Refuses settings that cannot give a sound analysis, with the setting and its value, before
// anything is written for the sound. In random mode it also reads the length and rate.
void checkSettings(Host& host, FileRun& run);

// Chooses and analyses the intervals, then writes the sound's totals and indices.
void analyseFile(Host& host, const FileRun& run, RunTotals& totals);

}  // namespace orvale
