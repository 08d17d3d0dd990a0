#pragma once
#include <string>

#include "indices/aci.h"
#include "indices/evenness.h"
#include "indices/lev.h"

namespace orvale {

// The writers of the index tables: they only format what the computations returned.
// Each throws RunError naming the path when a file cannot be opened or written.

// One "%f\t" cell in _shannon.txt and, for a batch, in results/shannonAll.txt.
void writeShannon(const std::string& sndBase, double index, bool multiFile);

// One line each in _pow.txt and _freq.txt.
void writeBandStats(const std::string& sndBase, const IntervalAci& interval);

// One line each in _aci.txt, _aciIf.txt and _AciIfTot.txt; a line per bin in the surface files.
void writeAciTables(const std::string& sndBase, int k, const IntervalAci& interval);

// _lev.txt, _levDiff.txt, _levRapp.txt and, for a batch, their tables and three Summary cells.
void writeLevTables(const std::string& sndBase, const LevResult& lev, bool multiFile);

// _AciEvenness.txt and, for a batch, results/EvennessAll.txt and the last Summary cell.
void writeEvennessTables(const std::string& sndBase, const Evenness& evenness, int nBins, bool multiFile);

}  // namespace orvale
