#pragma once
#include <cstdint>
#include <optional>
#include <span>
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

// The same results taken one frame at a time, so that an interval never has to be held
// whole: frames 0 to n - 1 of the interval, then its end frame.
class AciAccumulator {
public:
    // n: the interval's frames, end frame excluded. The caller guarantees 0 <= frStart and
    // frEnd <= the length of every row; frEnd <= frStart is the empty band.
    AciAccumulator(int frStart, int frEnd, std::int32_t filtro, const IntervalGeometry& g, int n);

    // The whole spectrum of the next frame.
    void addFrame(std::span<const std::int32_t> row);
    // After the end frame (or at any point: the frames given so far, as if no more existed).
    IntervalAci finish() const;

private:
    void addEnd(const std::int32_t* end);

    int frStart_;
    std::size_t bins_;
    std::int32_t filtro_;
    IntervalGeometry g_;
    int n_;
    int frame_ = 0;  // frames given so far
    // Up to 2^21 frames every sum stays below 2^53 and is taken, exactly, in doubles;
    // longer intervals keep the counts in 64-bit integers.
    bool exact_;
    std::vector<std::int32_t> previous_;  // the band of the last frame given
    std::vector<double> powSumX_, freqCountX_, aciNumX_;  // exact_
    std::vector<std::int64_t> powSum_, freqCount_, aciNum_;  // !exact_
    std::vector<std::int64_t> endDen_;
    std::vector<double> sumF_, aciIfNum_;
};

// The caller guarantees 0 <= frStart and frEnd <= s.width; frEnd <= frStart is the empty band.
IntervalAci intervalAci(const SpectrogramView& s, int frStart, int frEnd, std::int32_t filtro,
                        const IntervalGeometry& g);

}  // namespace orvale
