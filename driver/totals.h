#pragma once
#include <vector>

#include "driver/analysis_params.h"

namespace orvale {

struct FileAccumulators;

// What outlives one sound within a batch.
struct RunTotals {
    bool profileCreated = false;
    std::vector<double> aciProfile;  // per bin: the sum of every sound's ACI totals
    int lastNBins = 0;               // bins of the last sound analysed
};

// The sound's _TotPow, _TotFreq and _AciTot files, its rows of the total tables, the first
// five Summary cells, and its share of the profile.
void writeTotals(const FileRun& run, const FileAccumulators& acc, RunTotals& totals);

// Ends the sound's row in the cross-file tables (a batch only).
void writeTerminators();

// After the last sound of a batch: an empty line and the profile row in AciTotAll.txt.
void writeProfile(const RunTotals& totals);

}  // namespace orvale
