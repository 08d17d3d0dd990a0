#include "indices/aci.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstddef>
#include <cstdlib>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace orvale {

namespace {

// One frame and its successor, over the band: the per-bin sums, each receiving its terms
// frame by frame, with the successor's terms only for a frame inside the sound.

// Whole-number terms of at most 2^32 summed in doubles: exact while the sums stay below
// 2^53. Where SSE2 is there (every x86-64), two bins at a time, each lane masked rather
// than branched on.
#if defined(__SSE2__)
constexpr std::size_t kLanes = 2;

inline __m128d load(const std::int32_t* p)
{
    return _mm_cvtepi32_pd(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
}

// *p += x & mask, lane by lane.
inline void addMasked(double* p, __m128d x, __m128d mask) { _mm_storeu_pd(p, _mm_add_pd(_mm_loadu_pd(p), _mm_and_pd(x, mask))); }
#endif

template <bool InSound>
void exactPairTerms(const std::int32_t* __restrict cur, const std::int32_t* __restrict next, std::size_t bins,
                    double f, double* __restrict powSum, double* __restrict freqCount, double* __restrict aciNum,
                    double* __restrict sumF, double* __restrict aciIfNum)
{
    const std::size_t pairs = bins - 1;
    std::size_t b = 0;
#if defined(__SSE2__)
    const __m128d threshold = _mm_set1_pd(f);
    const __m128d one = _mm_set1_pd(1.0);
    const __m128d noSign = _mm_castsi128_pd(_mm_set1_epi64x(INT64_MAX));
    for (; b + kLanes <= pairs; b += kLanes) {
        const __m128d v = load(cur + b);
        const __m128d later = load(next + b);
        // The upper neighbour counts in the sum even below filtro.
        const __m128d w = load(cur + b + 1);
        const __m128d above = _mm_cmpgt_pd(v, threshold);
        addMasked(powSum + b, v, above);
        addMasked(freqCount + b, one, above);
        addMasked(sumF + b, _mm_add_pd(v, w), above);
        if constexpr (InSound) {
            addMasked(aciNum + b, _mm_and_pd(_mm_sub_pd(v, later), noSign),
                      _mm_and_pd(above, _mm_cmpgt_pd(later, threshold)));
            addMasked(aciIfNum + b, _mm_and_pd(_mm_sub_pd(v, w), noSign),
                      _mm_and_pd(above, _mm_cmpgt_pd(w, threshold)));
        }
    }
#endif
    for (; b < bins; ++b) {
        const double v = cur[b];
        if (!(v > f)) continue;
        powSum[b] += v;
        freqCount[b] += 1.0;
        const double later = next[b];
        if (InSound && later > f) aciNum[b] += std::fabs(v - later);
        if (b == pairs) continue;
        const double w = cur[b + 1];
        sumF[b] += v + w;
        if (InSound && w > f) aciIfNum[b] += std::fabs(v - w);
    }
}

// The same for intervals too long for that: 64-bit integers, and the two sums that are
// doubles anyway taken in doubles, in frame order.
void longPairTerms(const std::int32_t* cur, const std::int32_t* next, std::size_t bins, std::int32_t f,
                   bool inSound, std::int64_t* powSum, std::int64_t* freqCount, std::int64_t* aciNum,
                   double* sumF, double* aciIfNum)
{
    const std::size_t pairs = bins - 1;
    for (std::size_t b = 0; b < bins; ++b) {
        const std::int64_t v = cur[b];
        if (v <= f) continue;
        powSum[b] += v;
        ++freqCount[b];
        const std::int64_t later = next[b];
        if (inSound && later > f) aciNum[b] += std::abs(v - later);
        if (b < pairs) {
            const std::int64_t w = cur[b + 1];
            sumF[b] += double(v + w);
            if (inSound && w > f) aciIfNum[b] += double(std::abs(v - w));
        }
    }
}

}  // namespace

AciAccumulator::AciAccumulator(int frStart, int frEnd, std::int32_t filtro, const IntervalGeometry& g, int n)
    : frStart_(frStart),
      bins_(frEnd > frStart ? static_cast<std::size_t>(frEnd - frStart) : 0),
      filtro_(filtro),
      g_(g),
      n_(n),
      exact_(std::int64_t(n) + 1 <= (std::int64_t(1) << 21)),
      previous_(bins_),
      endDen_(bins_, 0),
      sumF_(bins_ > 0 ? bins_ - 1 : 0, 0.0),
      aciIfNum_(sumF_.size(), 0.0)
{
    if (exact_) {
        powSumX_.assign(bins_, 0.0);
        freqCountX_.assign(bins_, 0.0);
        aciNumX_.assign(bins_, 0.0);
    } else {
        powSum_.assign(bins_, 0);
        freqCount_.assign(bins_, 0);
        aciNum_.assign(bins_, 0);
    }
}

void AciAccumulator::addEnd(const std::int32_t* end)
{
    // The end frame weighs in the denominators, never in powSum itself; 64-bit, since
    // t1 * fftlen passes 2^31 for long sounds and large frames.
    if (std::int64_t(n_) >= std::int64_t(g_.t1) * std::int64_t(g_.fftlen)) return;
    const std::size_t pairs = bins_ - 1;
    for (std::size_t b = 0; b < bins_; ++b) {
        const std::int64_t v = end[b];
        if (v <= filtro_) continue;
        endDen_[b] += v;
        if (b < pairs) sumF_[b] += double(v + std::int64_t(end[b + 1]));
    }
}

void AciAccumulator::addFrame(std::span<const std::int32_t> row)
{
    const int j = frame_++;
    if (bins_ == 0 || j > n_) return;
    assert(frStart_ >= 0 && static_cast<std::size_t>(frStart_) + bins_ <= row.size());
    const std::int32_t* band = row.data() + frStart_;
    // Frame j - 1 is complete now that its successor is known. A row past the sound's frames
    // adds nothing; a successor past the end of the sound weighs in the statistics but not
    // in the differences.
    const int k = j - 1;
    if (k >= 0 && k < g_.nFrames) {
        const bool inSound = std::int64_t(g_.t0) + k < g_.nFrames;
        const std::int32_t* cur = previous_.data();
        if (!exact_)
            longPairTerms(cur, band, bins_, filtro_, inSound, powSum_.data(), freqCount_.data(), aciNum_.data(),
                          sumF_.data(), aciIfNum_.data());
        else if (inSound)
            exactPairTerms<true>(cur, band, bins_, filtro_, powSumX_.data(), freqCountX_.data(), aciNumX_.data(),
                                 sumF_.data(), aciIfNum_.data());
        else
            exactPairTerms<false>(cur, band, bins_, filtro_, powSumX_.data(), freqCountX_.data(), aciNumX_.data(),
                                  sumF_.data(), aciIfNum_.data());
    }
    if (j == n_)
        addEnd(band);
    else
        std::copy(band, band + bins_, previous_.begin());
}

IntervalAci AciAccumulator::finish() const
{
    IntervalAci r;
    const std::size_t pairs = bins_ > 0 ? bins_ - 1 : 0;
    if (bins_ == 0 || n_ < 0) {
        // Without a band, or without even the end frame, nothing is defined.
        r.powSum.assign(bins_, 0);
        r.freqCount.assign(bins_, 0);
        r.aci.assign(bins_, std::nullopt);
        r.aciIf.assign(pairs, std::nullopt);
        return r;
    }
    r.powSum.resize(bins_);
    r.freqCount.resize(bins_);
    r.aci.resize(bins_);
    for (std::size_t b = 0; b < bins_; ++b) {
        // Whole numbers below 2^53: the conversions are exact.
        const std::int64_t aciNum = exact_ ? std::int64_t(aciNumX_[b]) : aciNum_[b];
        r.powSum[b] = exact_ ? std::int64_t(powSumX_[b]) : powSum_[b];
        r.freqCount[b] = exact_ ? std::int64_t(freqCountX_[b]) : freqCount_[b];
        const std::int64_t aciDen = r.powSum[b] + endDen_[b];
        if (aciDen != 0) r.aci[b] = double(aciNum) / double(aciDen);
    }
    r.aciIf.resize(pairs);
    for (std::size_t b = 0; b < pairs; ++b) {
        if (sumF_[b] == 0.0) continue;
        r.aciIf[b] = aciIfNum_[b] / sumF_[b];
        r.aciIfTot += *r.aciIf[b];
    }
    return r;
}

IntervalAci intervalAci(const SpectrogramView& s, int frStart, int frEnd, std::int32_t filtro,
                        const IntervalGeometry& g)
{
    AciAccumulator acc(frStart, frEnd, filtro, g, s.frames);
    if (frEnd > frStart) {
        assert(frStart >= 0 && frEnd <= s.width);
        assert(s.frames < 0 ||
               s.values.size() >= (static_cast<std::size_t>(s.frames) + 1) * static_cast<std::size_t>(s.width));
    }
    const auto width = static_cast<std::size_t>(std::max(s.width, 0));
    for (int j = 0; j <= s.frames; ++j) acc.addFrame(s.values.subspan(static_cast<std::size_t>(j) * width, width));
    return acc.finish();
}

}  // namespace orvale
