#include "indices/shannon.h"

#include <cassert>
#include <cmath>
#include <cstddef>

namespace orvale {

ShannonAccumulator::ShannonAccumulator(int frStart, int frEnd, std::int32_t filtro)
    : frStart_(frStart), bins_(frEnd > frStart ? frEnd - frStart : 0), filtro_(filtro)
{
}

void ShannonAccumulator::addFrame(std::span<const std::int32_t> frame)
{
    ++frames_;
    if (bins_ == 0) return;
    assert(frStart_ >= 0 && static_cast<std::size_t>(frStart_) + static_cast<std::size_t>(bins_) <= frame.size());
    const std::int32_t* row = frame.data() + frStart_;
    const std::int32_t f = filtro_;
    // At most 2^15 values of at most 2^31: a whole-number sum that a double holds exactly at
    // every step, so it equals the sum taken in doubles.
    std::int64_t whole = 0;
    for (int b = 0; b < bins_; ++b) whole += row[b] > f ? row[b] : 0;
    if (whole == 0) return;  // a silent frame still counts in the mean
    const double rowSum = double(whole);
    double entropy = 0.0;
    for (int b = 0; b < bins_; ++b) {
        // A negative share under a negative filtro has no logarithm: the NaN is the result.
        if (row[b] <= f || row[b] == 0) continue;
        const double p = row[b] / rowSum;
        entropy += p * std::log(p);
    }
    sum_ += entropy;
}

double ShannonAccumulator::finish() const
{
    // No frames: the sum times -1.0, a negative zero like any interval of zero entropy.
    if (frames_ == 0) return sum_ * -1.0;
    return sum_ / frames_ * -1.0;
}

double shannonIndex(const SpectrogramView& s, int frStart, int frEnd, std::int32_t filtro)
{
    const int nRows = s.frames > 0 ? s.frames : 0;
    ShannonAccumulator acc(frStart, frEnd, filtro);
    if (frEnd > frStart && nRows > 0) {
        assert(frStart >= 0 && frEnd <= s.width);
        assert(s.values.size() >= static_cast<std::size_t>(nRows) * static_cast<std::size_t>(s.width));
    }
    const auto width = static_cast<std::size_t>(s.width > 0 ? s.width : 0);
    for (int r = 0; r < nRows; ++r) acc.addFrame(s.values.subspan(static_cast<std::size_t>(r) * width, width));
    return acc.finish();
}

}  // namespace orvale
