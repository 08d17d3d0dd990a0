#include "driver/pipeline.h"

#include <cmath>
#include <ctime>
#include <new>
#include <stdexcept>
#include <string>

#include "driver/run_error.h"
#include "driver/selection.h"
#include "driver/text_file.h"
#include "driver/totals.h"
#include "indices/evenness.h"
#include "indices/index_tables.h"
#include "indices/lev.h"
#include "spectrogram/spect_aci.h"

namespace orvale {

namespace {

// Persists between draws and files; reseeded at every random-mode sound.
thread_local Lcg generator;

std::string str(int v) { return std::to_string(v); }

void logAllocation(const std::string& message) { appendText("DEBUG_C.txt", message); }

// Capacity for `slots` rows of ACI values and the ACI-If totals; a failure is logged and
// ends the command.
void reserveTables(FileAccumulators& acc, std::int64_t slots)
{
    if (slots < 0) slots = 0;
    bool rowsFailed = false, ifTotFailed = false;
    try {
        acc.aciRows.reserve(slots);
        acc.aciTot.assign(static_cast<std::size_t>(acc.nBins), 0.0);
    } catch (const std::bad_alloc&) {
        rowsFailed = true;
    } catch (const std::length_error&) {
        rowsFailed = true;
    }
    try {
        acc.aciIfTot.assign(static_cast<std::size_t>(acc.nIfBins), 0.0);
    } catch (const std::bad_alloc&) {
        ifTotFailed = true;
    }
    if (rowsFailed) logAllocation("\nERRORE ALLOCAZIONE MEMORIA 1\n ");
    if (ifTotFailed) logAllocation("\nERRORE ALLOCAZIONE MEMORIA 1 If\n ");
    if (rowsFailed || ifTotFailed)
        throw RunError("not enough memory for " + std::to_string(slots) + " intervals of " +
                       str(acc.nBins) + " bins");
}

// Room for row k of the ACI table before the interval is analysed.
void addRow(FileAccumulators& acc)
{
    try {
        acc.aciRows.prepareRow();
        acc.aciRow.assign(static_cast<std::size_t>(acc.nBins), 0.0);
    } catch (const std::bad_alloc&) {
        const int k = acc.nIntervals;
        logAllocation("\nERRORE ALLOCAZIONE MEMORIA 2 " + str(k) + "\n ");
        throw RunError("not enough memory for interval " + str(k));
    }
}

void analyseInterval(Host& host, const FileRun& run, FileAccumulators& acc, int s)
{
    addRow(acc);
    spectAci(host, run, s, s + run.p.tInt, acc.nIntervals, acc);
    ++acc.nIntervals;
}

std::string scratchPrefix(const FileRun& run) { return resultPath(run.sndBase, "_aciRows."); }

SoundFrames framesOf(const FileRun& run) { return {run.p.sndLen, run.p.fftlen, run.nFrames}; }

// The FFT lengths Snack's powerSpectrum accepts.
constexpr int kMinFftLength = 8;
constexpr int kMaxFftLength = 65536;
// A random draw is 15 bits.
constexpr int kMaxDraws = 32768;

// Every interval reads v(fftlen) as an integer, where the trace reads a number: a value such
// as 512.0 would pass the trace and fail at the first interval, after the sound's earlier
// results were emptied. Read as a script would, in the caller's frame.
void checkWholeFftlen(Host& host)
{
    Tcl_Obj* value = Tcl_GetVar2Ex(host.interp(), "v", "fftlen", 0);
    int whole = 0;
    if (value && Tcl_GetIntFromObj(nullptr, value, &whole) != TCL_OK)
        throw RunError("v(fftlen) is \"" + std::string(Tcl_GetString(value)) +
                       "\": each interval asks Snack for frames of that many samples, a whole number");
}

}  // namespace

const char FileAccumulators::kFrameScript[] =
    "if { $i < [expr $sndLen - $v(fftlen)] }  {set lista [$snd powerSpectrum -start $i -end [expr "
    "$i + $v(fftlen) - 1] \t\t\t\t\t\t\t\t\t-fftlen $v(fftlen) -winlen $v(fftlen) -windowtype "
    "$v(wintype) \t\t\t\t\t\t\t\t\t-preemph $v(preemph) \t\t\t\t\t\t\t\t\t-channel $v(channel)]}";

FileAccumulators::FileAccumulators(int bins, std::string scratchPrefix)
    : nBins(bins > 0 ? bins : 0),
      nIfBins(bins > 1 ? bins - 1 : 0),
      totPow(static_cast<std::size_t>(nBins), 0),
      totFreq(static_cast<std::size_t>(nBins), 0),
      aciRows(nBins, std::move(scratchPrefix))
{
}

void checkSettings(Host& host, FileRun& run)
{
    const AnalysisParams& p = run.p;
    // Any other length fails at Snack's first frame; with no interval to analyse it would
    // instead size the tables, up to a thousand million bins written as zeros.
    if (p.fftlen < kMinFftLength || p.fftlen > kMaxFftLength || (p.fftlen & (p.fftlen - 1)) != 0)
        throw RunError("v(fftlen) is " + str(p.fftlen) + ": Snack's powerSpectrum takes a power of two from " +
                       str(kMinFftLength) + " to " + str(kMaxFftLength));
    if (p.tInt < 1)
        throw RunError("tInt is " + str(p.tInt) + " frames for " + run.sndName +
                       ": an analysis interval must hold at least one frame (a(tInt) too short?)");
    const int spectrumLength = p.fftlen / 2;
    if (p.frStart < 0 || p.frEnd < p.frStart || p.frEnd > spectrumLength)
        throw RunError("band frStart " + str(p.frStart) + " to frEnd " + str(p.frEnd) +
                       " does not fit the spectrum of " + str(spectrumLength) + " values (v(fftlen) " +
                       str(p.fftlen) + ")");
    if (p.random == 0) {
        if (p.tStart < 0)
            throw RunError("tStart is " + str(p.tStart) + ": the analysed stretch starts before the sound");
        if (!gridStarts(p.tStart, p.tEnd, p.tInt, p.distInt, framesOf(run)).empty()) checkWholeFftlen(host);
        return;
    }

    host.eval("set aaa [$snd length -unit SECONDS]");
    run.lenSec = host.truncated(host.resultDouble(), "length in seconds");
    host.eval("set aaa [$snd cget -rate]");
    run.sampleRate = host.resultDouble();
    // Without this a count typed with a few zeros too many draws for days and fills the disk.
    if (p.nRand > kMaxDraws)
        throw RunError("nRand is " + str(p.nRand) + ": a draw picks one of " + str(kMaxDraws) +
                       " values, so more random intervals per sound than that could only repeat them");
    if (p.nRand <= 0) return;

    const std::string what = run.sndName + " (" + str(run.lenSec) + " s, " + str(run.nFrames) +
                             " frames) with tInt " + str(p.tInt) + " frames";
    if (run.lenSec < 1) throw RunError("random intervals cannot be drawn from " + what + ": it is shorter than one second");
    if (!(run.sampleRate > 0.0) || !std::isfinite(run.sampleRate))
        throw RunError("random intervals cannot be drawn from " + run.sndName + ": sample rate " +
                       host.resultString() + " Hz");
    // Starts grow with the drawn second: when second 1 gives no interval, no second does.
    const auto first = randomStart(0, run.lenSec, run.sampleRate, p.fftlen);
    if (!first || !randomFits(*first, p.tInt, framesOf(run)))
        throw RunError("random intervals cannot be drawn from " + what +
                       ": no drawable second leaves room for a whole interval");
    checkWholeFftlen(host);
}

void analyseFile(Host& host, const FileRun& run, RunTotals& totals)
{
    const AnalysisParams& p = run.p;
    FileAccumulators acc(p.frEnd - p.frStart, scratchPrefix(run));
    const SoundFrames frames = framesOf(run);

    if (p.random == 0) {
        const std::vector<int> starts = gridStarts(p.tStart, p.tEnd, p.tInt, p.distInt, frames);
        reserveTables(acc, static_cast<std::int64_t>(starts.size()));
        for (int s : starts) analyseInterval(host, run, acc, s);
    } else {
        generator.seed(static_cast<std::uint32_t>(std::time(nullptr)));
        reserveTables(acc, p.nRand);
        while (acc.nIntervals < p.nRand) {
            const auto s = randomStart(generator.next(), run.lenSec, run.sampleRate, p.fftlen);
            if (!s || !randomFits(*s, p.tInt, frames)) continue;
            appendText("rand.txt", std::to_string(*s) + "\n");
            analyseInterval(host, run, acc, *s);
        }
    }

    writeTotals(run, acc, totals);
    writeLevTables(run.sndBase, levIndices(acc.aciRows, p.classiLev), run.multiFile);
    writeEvennessTables(run.sndBase, evennessIndex(acc.aciRows), acc.nBins, run.multiFile);
    if (run.multiFile) writeTerminators();
}

}  // namespace orvale
