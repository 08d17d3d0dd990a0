#include "spectrogram/spect_aci.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>

#include "driver/pipeline.h"
#include "driver/run_error.h"
#include "driver/text_file.h"
#include "indices/aci.h"
#include "indices/index_tables.h"
#include "indices/shannon.h"

namespace orvale {

namespace {

// Spectrum values are stored as 32-bit integers, truncated toward zero; anything beyond
// saturates. Inside the range the cast itself truncates, without a call per value.
inline std::int32_t toStored(double value)
{
    if (value >= 2147483647.0) return INT32_MAX;
    if (value <= -2147483648.0) return INT32_MIN;
    if (value != value) return 0;  // NaN
    return static_cast<std::int32_t>(value);
}

}  // namespace

void spectAci(Host& host, const FileRun& run, int t0, int t1, int k, FileAccumulators& acc)
{
    TextFile spect(resultPath(run.sndBase, "_spect.txt"), "a");
    if (!spect.error().empty()) throw RunError(spect.error());

    host.eval("set aaa $v(fftlen)");
    const int fftlen = host.resultInt();
    if (fftlen <= 0) throw RunError("v(fftlen) is " + std::to_string(fftlen) + ": the FFT length must be positive");

    const int n = t1 - t0;
    const Tcl_ObjType* const doubleType = Tcl_GetObjType("double");
    const std::int64_t last = static_cast<std::int64_t>(t1) * fftlen;
    int width = -1;
    int row = 0;
    for (std::int64_t i = static_cast<std::int64_t>(t0) * fftlen; i <= last; i += fftlen, ++row) {
        host.setVariable(acc.iName.get(), i);
        host.eval(acc.frameScript.get());
        int count = 0;
        Tcl_Obj** elements = nullptr;
        host.resultElements(count, elements);
        // An empty list is a frame the guard refused: "unset lista" below fails on it.
        if (width < 0 && count > 0) {
            // The band must lie inside the spectrum before any value of it is read.
            if (run.p.frEnd > count)
                throw RunError("band frStart " + std::to_string(run.p.frStart) + " to frEnd " +
                               std::to_string(run.p.frEnd) + " does not fit the spectrum of " +
                               std::to_string(count) + " values");
            width = count;
            // Every entry of a stored row is written below: reused storage needs no clearing.
            acc.spectrogram.resize(static_cast<std::size_t>(n + 1) * static_cast<std::size_t>(width));
        }
        const bool endFrame = i == last;
        std::int32_t* stored =
            count == width && width > 0 ? acc.spectrogram.data() + static_cast<std::size_t>(row) * static_cast<std::size_t>(width)
                           : nullptr;
        std::int32_t* values = stored;
        if (!values) {
            acc.oddRow.resize(static_cast<std::size_t>(count));
            values = acc.oddRow.data();
        }
        for (int e = 0; e < count; ++e) {
            Tcl_Obj* element = elements[e];
            // Snack's values are doubles already: read them without a call per value.
            const double d = element->typePtr == doubleType && !std::isnan(element->internalRep.doubleValue)
                                 ? element->internalRep.doubleValue
                                 : host.elementDouble(element);
            values[e] = toStored(d);
        }
        if (!endFrame) {
            // Cells are formatted straight into the file's buffer: at most 12 bytes each.
            char* out = spect.space(static_cast<std::size_t>(count) * 12 + 1);
            for (int e = 0; e < count; ++e) {
                out = formatInt(out, values[e]);
                *out++ = '\t';
            }
            *out++ = '\n';
            spect.commit(out);
        }
        host.eval(acc.unsetLista.get());
        if (!stored)
            throw RunError("powerSpectrum gave " + std::to_string(count) + " values for the frame at sample " +
                           std::to_string(i) + " and " + std::to_string(width) + " for the first frame");
    }
    closeOrThrow(spect);

    const SpectrogramView view{acc.spectrogram, n, width};
    const double shannon = shannonIndex(view, run.p.frStart, run.p.frEnd, run.p.filtro);
    writeShannon(run.sndBase, shannon, run.multiFile);
    acc.shannonSum += shannon;

    const IntervalAci result =
        intervalAci(view, run.p.frStart, run.p.frEnd, run.p.filtro, {t0, t1, run.nFrames, fftlen});
    writeBandStats(run.sndBase, result);
    for (int b = 0; b < acc.nBins; ++b) {
        acc.totPow[static_cast<std::size_t>(b)] += result.powSum[static_cast<std::size_t>(b)];
        acc.totFreq[static_cast<std::size_t>(b)] += result.freqCount[static_cast<std::size_t>(b)];
    }
    writeAciTables(run.sndBase, k, result);

    double* aciRow = acc.aciRows.data() + static_cast<std::size_t>(k) * static_cast<std::size_t>(acc.nBins);
    for (int b = 0; b < acc.nBins; ++b)
        if (result.aci[static_cast<std::size_t>(b)]) aciRow[b] = *result.aci[static_cast<std::size_t>(b)];
    double* ifRow = acc.aciIfRows.data() + static_cast<std::size_t>(k) * static_cast<std::size_t>(acc.nIfBins);
    for (int b = 0; b < acc.nIfBins; ++b)
        if (result.aciIf[static_cast<std::size_t>(b)]) ifRow[b] = *result.aciIf[static_cast<std::size_t>(b)];
}

}  // namespace orvale
