#pragma once
#include <cstdint>
#include <optional>
#include <vector>

#include "indices/spectrogram_view.h"

namespace orvale {

// Where the interval lies in the sound; the row-skipping and end-frame rules depend on it.
struct IntervalGeometry {
    int t0 = 0;       // first frame of the interval
    int t1 = 0;       // end frame: t0 + the interval's length
    int nFrames = 0;  // whole frames in the sound
    int fftlen = 0;
};

// Everything one interval contributes: band statistics, ACI over time and across frequency.
// "Not defined" (a zero denominator) is nullopt, so that the writer picks the zero format.
struct IntervalAci {
    std::vector<std::int64_t> powSum;          // nBins
    std::vector<std::int64_t> freqCount;       // nBins
    std::vector<std::optional<double>> aci;    // nBins
    std::vector<std::optional<double>> aciIf;  // nBins - 1 (none for fewer than two bins)
    double aciIfTot = 0.0;                     // sum of the defined aciIf, ascending
};

// The caller guarantees 0 <= frStart and frEnd <= s.width; frEnd <= frStart is the empty band.
IntervalAci intervalAci(const SpectrogramView& s, int frStart, int frEnd, std::int32_t filtro,
                        const IntervalGeometry& g);

}  // namespace orvale
