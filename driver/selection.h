#pragma once
#include <cstdint>
#include <optional>
#include <vector>

namespace orvale {

// The interval generator: 32-bit state, draws of 15 bits.
class Lcg {
public:
    explicit Lcg(std::uint32_t seed = 0) : state_(seed) {}
    void seed(std::uint32_t seed) { state_ = seed; }
    int next()
    {
        state_ = state_ * 214013u + 2531011u;
        return static_cast<int>((state_ >> 16) & 0x7FFFu);
    }

private:
    std::uint32_t state_;
};

// What decides whether an interval of tInt frames starting at frame s can be analysed.
struct SoundFrames {
    std::int64_t sndLen = 0;  // samples
    int fftlen = 0;           // samples per frame, > 0
    int nFrames = 0;          // sndLen / fftlen
};

// Every frame of the interval, its end frame included, must start before sndLen - fftlen:
// Snack's frame guard refuses any later one.
bool framesFit(std::int64_t s, int tInt, const SoundFrames& sound);

// Ordinary placement: starts tStart, tStart + distInt, ... below tEnd, as long as the
// interval ends before nFrames and its frames fit. Needs tInt >= 1 and distInt >= tInt.
std::vector<int> gridStarts(int tStart, int tEnd, int tInt, int distInt, const SoundFrames& sound);

// The start frame of a random draw r: second (r mod lenSec) + 1, converted at the sound's rate.
// nullopt when the frame index does not fit in 32 bits. Needs lenSec >= 1, fftlen >= 1.
std::optional<int> randomStart(int r, int lenSec, double sampleRate, int fftlen);

// Whether a random start is accepted: the interval may end at nFrames, and its frames fit.
bool randomFits(int s, int tInt, const SoundFrames& sound);

}  // namespace orvale
