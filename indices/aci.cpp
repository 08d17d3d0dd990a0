#include "indices/aci.h"

#include <cassert>
#include <cstddef>
#include <cstdlib>

namespace orvale {

IntervalAci intervalAci(const SpectrogramView& s, int frStart, int frEnd, std::int32_t filtro,
                        const IntervalGeometry& g)
{
    IntervalAci r;
    const int nBins = frEnd > frStart ? frEnd - frStart : 0;
    const int n = s.frames;
    if (nBins == 0 || n < 0) {
        // Without a band, or without even the end frame, nothing is defined.
        r.powSum.assign(static_cast<std::size_t>(nBins), 0);
        r.freqCount.assign(static_cast<std::size_t>(nBins), 0);
        r.aci.assign(static_cast<std::size_t>(nBins), std::nullopt);
        r.aciIf.assign(nBins > 1 ? static_cast<std::size_t>(nBins - 1) : 0, std::nullopt);
        return r;
    }
    assert(frStart >= 0 && frEnd <= s.width);
    assert(s.values.size() >= (static_cast<std::size_t>(n) + 1) * static_cast<std::size_t>(s.width));

    const auto bins = static_cast<std::size_t>(nBins);
    const std::size_t pairs = bins - 1;
    r.powSum.assign(bins, 0);
    r.freqCount.assign(bins, 0);
    std::vector<std::int64_t> aciNum(bins, 0);
    std::vector<double> sumF(pairs, 0.0), aciIfNum(pairs, 0.0);

    const std::int64_t f = filtro;
    const auto row = [&](int j) {
        return s.values.data() + static_cast<std::size_t>(j) * static_cast<std::size_t>(s.width) +
               static_cast<std::size_t>(frStart);
    };

    // Row by row rather than bin by bin: each per-bin sum still receives its rows in order,
    // and the spectrogram is read along its rows.
    for (int j = 0; j < n; ++j) {
        if (j >= g.nFrames) continue;
        // A frame past the end of the sound weighs in the statistics but not in the differences.
        const bool inSound = std::int64_t(g.t0) + j < g.nFrames;
        const std::int32_t* cur = row(j);
        const std::int32_t* next = row(j + 1);
        for (std::size_t b = 0; b < bins; ++b) {
            const std::int64_t v = cur[b];
            if (v <= f) continue;
            r.powSum[b] += v;
            ++r.freqCount[b];
            const std::int64_t later = next[b];
            if (inSound && later > f) aciNum[b] += std::abs(v - later);
            if (b < pairs) {
                // The upper neighbour counts in the sum even below filtro.
                const std::int64_t w = cur[b + 1];
                sumF[b] += double(v + w);
                if (inSound && w > f) aciIfNum[b] += double(std::abs(v - w));
            }
        }
    }

    // The end frame weighs in the denominators, never in powSum itself.
    std::vector<std::int64_t> aciDen(r.powSum);
    // 64-bit: t1 * fftlen passes 2^31 for long sounds and large frames.
    if (std::int64_t(n) < std::int64_t(g.t1) * std::int64_t(g.fftlen)) {
        const std::int32_t* end = row(n);
        for (std::size_t b = 0; b < bins; ++b) {
            const std::int64_t v = end[b];
            if (v <= f) continue;
            aciDen[b] += v;
            if (b < pairs) sumF[b] += double(v + std::int64_t(end[b + 1]));
        }
    }

    r.aci.resize(bins);
    for (std::size_t b = 0; b < bins; ++b)
        if (aciDen[b] != 0) r.aci[b] = double(aciNum[b]) / double(aciDen[b]);

    r.aciIf.resize(pairs);
    for (std::size_t b = 0; b < pairs; ++b) {
        if (sumF[b] == 0.0) continue;
        r.aciIf[b] = aciIfNum[b] / sumF[b];
        r.aciIfTot += *r.aciIf[b];
    }
    return r;
}

}  // namespace orvale
