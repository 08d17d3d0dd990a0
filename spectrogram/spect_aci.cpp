#include "spectrogram/spect_aci.h"

#include <cmath>
#include <cstdint>
#include <span>
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

// A value outside the common case: not a double yet, NaN, or beyond 32 bits.
[[gnu::noinline]] std::int32_t storedValue(Host& host, Tcl_Obj* element, const Tcl_ObjType* doubleType)
{
    const double d = element->typePtr == doubleType && !std::isnan(element->internalRep.doubleValue)
                         ? element->internalRep.doubleValue
                         : host.elementDouble(element);
    return toStored(d);
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
    const IntervalGeometry geometry{t0, t1, run.nFrames, fftlen};
    // Each frame is folded into the indices as it arrives: only one row is ever held.
    ShannonAccumulator shannonAcc(run.p.frStart, run.p.frEnd, run.p.filtro);
    AciAccumulator aciAcc(run.p.frStart, run.p.frEnd, run.p.filtro, geometry, n);
    const Tcl_ObjType* const doubleType = Tcl_GetObjType("double");
    const std::int64_t last = static_cast<std::int64_t>(t1) * fftlen;
    int width = -1;
    for (std::int64_t i = static_cast<std::int64_t>(t0) * fftlen; i <= last; i += fftlen) {
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
        }
        const bool endFrame = i == last;
        const bool usable = count == width && width > 0;
        acc.row.resize(static_cast<std::size_t>(count));
        std::int32_t* const values = acc.row.data();
        const int cells = count;  // a local: count's address went to the list reader
        // Snack's values are doubles already, nearly always inside 32 bits: those are read and
        // truncated on the spot, anything else takes the careful way.
        const auto stored = [&](int e) {
            const Tcl_Obj* element = elements[e];
            if (element->typePtr == doubleType) {
                const double d = element->internalRep.doubleValue;
                if (std::fabs(d) < 2147483648.0) return static_cast<std::int32_t>(d);
            }
            return storedValue(host, elements[e], doubleType);
        };
        if (!endFrame) {
            // Cells are formatted straight into the file's buffer, room for 12 bytes each, and
            // committed once the whole line is there: a value that fails leaves no part line.
            char* out = spect.space(static_cast<std::size_t>(cells) * 12 + 1);
            for (int e = 0; e < cells; ++e) {
                values[e] = stored(e);
                out = formatInt(out, values[e]);
                *out++ = '\t';
            }
            *out++ = '\n';
            spect.commit(out);
        } else {
            for (int e = 0; e < cells; ++e) values[e] = stored(e);
        }
        host.eval(acc.unsetLista.get());
        if (!usable)
            throw RunError("powerSpectrum gave " + std::to_string(count) + " values for the frame at sample " +
                           std::to_string(i) + " and " + std::to_string(width) + " for the first frame");
        const std::span<const std::int32_t> frame(values, static_cast<std::size_t>(count));
        if (!endFrame) shannonAcc.addFrame(frame);
        aciAcc.addFrame(frame);
    }
    closeOrThrow(spect);

    const double shannon = shannonAcc.finish();
    writeShannon(run.sndBase, shannon, run.multiFile);
    acc.shannonSum += shannon;

    const IntervalAci result = aciAcc.finish();
    writeBandStats(run.sndBase, result);
    for (int b = 0; b < acc.nBins; ++b) {
        acc.totPow[static_cast<std::size_t>(b)] += result.powSum[static_cast<std::size_t>(b)];
        acc.totFreq[static_cast<std::size_t>(b)] += result.freqCount[static_cast<std::size_t>(b)];
    }
    writeAciTables(run.sndBase, k, result);

    for (int b = 0; b < acc.nBins; ++b)
        if (result.aci[static_cast<std::size_t>(b)]) acc.aciRow[static_cast<std::size_t>(b)] = *result.aci[static_cast<std::size_t>(b)];
    acc.aciRows.append(acc.aciRow);
    for (int b = 0; b < acc.nBins; ++b) acc.aciTot[static_cast<std::size_t>(b)] += acc.aciRow[static_cast<std::size_t>(b)];
    // Only the column sums of the ACI-If rows are ever read: each row is added as it would
    // stand in the table, 0.0 where a value is not defined.
    for (int b = 0; b < acc.nIfBins; ++b) {
        const auto& value = result.aciIf[static_cast<std::size_t>(b)];
        acc.aciIfTot[static_cast<std::size_t>(b)] += value ? *value : 0.0;
    }
}

}  // namespace orvale
