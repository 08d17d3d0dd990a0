#pragma once
#include <string>

namespace orvale {

// One sound's settings as read from the host, each truncated toward zero to 32 bits.
struct AnalysisParams {
    int sndLen = 0;     // samples
    int frStart = 0;    // first bin of the band
    int frEnd = 0;      // end of the band (exclusive)
    int tStart = 0;     // first frame of the analysed stretch
    int tEnd = 0;       // no interval starts at or after this frame
    int tInt = 0;       // frames per interval
    int distInt = 0;    // frames between interval starts, never less than tInt
    int filtro = 0;     // only values strictly above it count
    int random = 0;     // non-zero: random placement
    int nRand = 0;      // random intervals per sound
    int fftlen = 0;     // samples per frame
    int classiLev = 0;  // level classes
};

// What the per-file pipeline works with.
struct FileRun {
    std::string sndName;  // the file name as the sound reports it
    std::string sndBase;
    AnalysisParams p;
    int nFrames = 0;
    bool multiFile = false;
    // Random mode only, read before anything is written for the sound.
    int lenSec = 0;
    double sampleRate = 0.0;
};

}  // namespace orvale
