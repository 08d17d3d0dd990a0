#pragma once
#include <cstdint>

#include "indices/spectrogram_view.h"

namespace orvale {

// Mean over the interval's frames (the end frame excluded) of -sum(p ln p), where p is a
// bin's share of its frame's power in [frStart, frEnd); only values above filtro count.
// The caller guarantees 0 <= frStart and frEnd <= width; frEnd <= frStart is the empty band.
double shannonIndex(const SpectrogramView& s, int frStart, int frEnd, std::int32_t filtro);

}  // namespace orvale
