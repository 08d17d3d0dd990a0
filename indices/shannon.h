#pragma once
#include <cstdint>
#include <span>

#include "indices/spectrogram_view.h"

namespace orvale {

// Mean over the interval's frames (the end frame excluded) of -sum(p ln p), where p is a
// bin's share of its frame's power in [frStart, frEnd); only values above filtro count.
// The caller guarantees 0 <= frStart and frEnd <= width; frEnd <= frStart is the empty band.
double shannonIndex(const SpectrogramView& s, int frStart, int frEnd, std::int32_t filtro);

// The same mean taken one frame at a time.
class ShannonAccumulator {
public:
    ShannonAccumulator(int frStart, int frEnd, std::int32_t filtro);
    void addFrame(std::span<const std::int32_t> row);  // the whole spectrum of a frame
    double finish() const;

private:
    int frStart_;
    int bins_;
    std::int32_t filtro_;
    int frames_ = 0;
    double sum_ = 0.0;
};

}  // namespace orvale
