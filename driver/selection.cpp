#include "driver/selection.h"

#include <cmath>
#include <cstdint>

namespace orvale {

bool framesFit(std::int64_t s, int tInt, const SoundFrames& sound)
{
    // The end frame starts at (s + tInt) * fftlen; 64-bit, so no product overflows.
    return (s + tInt) * sound.fftlen < sound.sndLen - sound.fftlen;
}

std::vector<int> gridStarts(int tStart, int tEnd, int tInt, int distInt, const SoundFrames& sound)
{
    std::vector<int> starts;
    for (std::int64_t s = tStart; s < tEnd; s += distInt) {
        // s only grows, so once an interval no longer fits none after it does.
        if (s + tInt >= sound.nFrames || !framesFit(s, tInt, sound)) break;
        starts.push_back(static_cast<int>(s));
    }
    return starts;
}

std::optional<int> randomStart(int r, int lenSec, double sampleRate, int fftlen)
{
    const int sec = r % lenSec + 1;
    const double s = std::trunc(static_cast<double>(sec) * sampleRate / static_cast<double>(fftlen));
    if (!(s >= INT32_MIN && s <= INT32_MAX)) return std::nullopt;
    return static_cast<int>(s);
}

bool randomFits(int s, int tInt, const SoundFrames& sound)
{
    return static_cast<std::int64_t>(s) + tInt <= sound.nFrames && framesFit(s, tInt, sound);
}

}  // namespace orvale
