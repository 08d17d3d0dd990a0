#include <gtest/gtest.h>

#include <vector>

#include "driver/selection.h"

using orvale::SoundFrames;

namespace {

// A sound of nFrames whole frames plus `extra` samples, at fftlen 512.
SoundFrames sound(int nFrames, int extra = 100) { return {std::int64_t{nFrames} * 512 + extra, 512, nFrames}; }

}  // namespace

TEST(GridStarts, WalksFromTStartBelowTEnd)
{
    const struct {
        int tStart, tEnd, tInt, distInt;
        SoundFrames s;
        std::vector<int> want;
    } cases[] = {
        {0, 10, 3, 3, sound(10), {0, 3, 6}},  // 6 + 3 < 10; 9 + 3 does not fit
        {0, 9, 3, 3, sound(9), {0, 3}},       // 6 + 3 is not below 9
        {2, 8, 3, 5, sound(20), {2, 7}},      // the second runs past tEnd, which bounds starts only
        {5, 5, 3, 3, sound(20), {}},          // tStart >= tEnd: nothing
        {6, 5, 3, 3, sound(20), {}},
        {0, 10, 3, 3, sound(10, 0), {0, 3}},  // exact multiple: the end frame of 6..9 starts too late
        {0, 100, 1, 1, sound(3), {0, 1}},     // 2 + 1 is not below 3
        {0, 2147483647, 3, 2147483647, sound(10), {0}},  // a huge step must not overflow
    };
    for (const auto& c : cases)
        EXPECT_EQ(orvale::gridStarts(c.tStart, c.tEnd, c.tInt, c.distInt, c.s), c.want)
            << c.tStart << " " << c.tEnd << " " << c.tInt << " " << c.distInt << " " << c.s.sndLen;
}

TEST(RandomStart, WholeSecondsAtTheSoundsRate)
{
    const struct { int r, lenSec; double rate; int fftlen, want; } cases[] = {
        {0, 10, 16000, 512, 31},      // second 1: trunc(31.25)
        {1, 10, 16000, 512, 62},
        {2, 10, 16000, 512, 93},
        {12345, 10, 16000, 512, 187},  // 12345 mod 10 + 1 = 6
        {32767, 40000, 16000, 512, 1024000},  // r never exceeds 32767: second 32768 at most
        {9, 10, 44100, 2048, 215},     // trunc(10 * 44100 / 2048)
    };
    for (const auto& c : cases) EXPECT_EQ(orvale::randomStart(c.r, c.lenSec, c.rate, c.fftlen), c.want) << c.r;
    EXPECT_EQ(orvale::randomStart(0, 10, 1e12, 1), std::nullopt);  // past 32 bits: refused, not cast
}

TEST(RandomFits, MayEndAtTheLastFrameOnlyWhenItsFramesFit)
{
    // 20 frames and 100 samples more: the end frame at 20 would start at 10240 > 10340 - 512.
    EXPECT_FALSE(orvale::randomFits(17, 3, sound(20)));
    EXPECT_TRUE(orvale::randomFits(16, 3, sound(20)));
    EXPECT_FALSE(orvale::randomFits(18, 3, sound(20)));
}

TEST(Lcg, ProducesTheClassicSequence)
{
    // The widely published first draws of this generator after seeding with 1.
    orvale::Lcg g(1);
    EXPECT_EQ(g.next(), 41);
    EXPECT_EQ(g.next(), 18467);
    EXPECT_EQ(g.next(), 6334);
    orvale::Lcg h(0xFFFFFFFFu);  // the state wraps modulo 2^32
    for (int i = 0; i < 1000; ++i) {
        const int r = h.next();
        ASSERT_GE(r, 0);
        ASSERT_LE(r, 32767);
    }
}
