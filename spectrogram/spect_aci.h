#pragma once

#include "driver/analysis_params.h"
#include "driver/host.h"

namespace orvale {

struct FileAccumulators;

// One interval [t0, t1): asks the host for every frame's spectrum (the end frame t1 too),
// writes the spectrogram, Shannon, power, occupancy and ACI tables, fills row k of the ACI
// tables and adds to the sound's totals. A failing script throws with Tcl's message.
void spectAci(Host& host, const FileRun& run, int t0, int t1, int k, FileAccumulators& acc);

}  // namespace orvale
