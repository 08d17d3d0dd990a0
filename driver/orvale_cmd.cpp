#include "driver/orvale_cmd.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <new>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "driver/analysis_params.h"
#include "driver/host.h"
#include "driver/pipeline.h"
#include "driver/run_error.h"
#include "driver/text_file.h"
#include "driver/totals.h"

namespace orvale {

namespace {

const char* const kCrossFileTables[] = {
    "results/shannonAll.txt",  "results/levAll.txt",         "results/AciTotAll.txt",
    "results/AciIfTotAll.txt", "results/EvennessAll.txt",    "results/powTotAll.txt",
    "results/TotFreqAll.txt",  "results/levDiffAll.txt",     "results/levRappAll.txt",
};

const char* const kEmptiedPerFile[] = {
    "_spect.txt", "_aci.txt",    "_surf.txt",    "_shannon.txt",  "_pow.txt",
    "_freq.txt",  "_levDiff.txt", "_aciIf.txt",  "_surfIf.txt",   "_AciIfTot.txt",
};

// Reads the sound's settings, tracing each one as it is kept. Whatever fails leaves the lines
// written so far; the file closes on the way out.
void readParams(Host& host, TextFile& trace, FileRun& run)
{
    AnalysisParams& p = run.p;
    p.sndLen = host.evalTruncated("set sndLen [$snd length]", "sndLen");
    trace.printf("sndlen %i\n", p.sndLen);
    p.frStart = host.evalTruncated(
        "set frStart [[namespace current]::freqToClass $a(frStart) $snd $v(fftlen)]", "frStart");
    trace.printf("frStart %i\n", p.frStart);
    p.frEnd = host.evalTruncated(
        " if {$a(frEnd) != -1} { set frEnd [[namespace current]::freqToClass $a(frEnd) $snd "
        "$v(fftlen)] } else { set frEnd [expr $v(fftlen) / 2 ] }",
        "frEnd");
    trace.printf("frEnd %i\n", p.frEnd);
    p.tStart = host.evalTruncated(
        "set tStart [[namespace current]::timeBins [[namespace current]::strTimeToMs $a(tStart)] "
        "$snd $v(fftlen)]",
        "tStart");
    trace.printf("tStart %i\n", p.tStart);
    p.tEnd = host.evalTruncated(
        "if {$a(tEnd) != -1 } { set tEnd [[namespace current]::timeBins "
        "[[namespace current]::strTimeToMs $a(tEnd)] $snd $v(fftlen)] } else { set tEnd [expr "
        "$sndLen / $v(fftlen) ] }",
        "tEnd");
    trace.printf("tEnd %i\n", p.tEnd);
    p.tInt = host.evalTruncated(
        "set tInt [[namespace current]::timeBins [expr $a(tInt) ] $snd $v(fftlen)]", "tInt");
    trace.printf("tInt %i\n", p.tInt);

    host.eval("set distInt [[namespace current]::timeBins [expr $a(distInt) ] $snd $v(fftlen)]");
    const double distInt = host.resultDouble();
    // Only the kept value is raised; the Tcl variable keeps the host's.
    p.distInt = distInt < static_cast<double>(p.tInt) ? p.tInt : host.truncated(distInt, "distInt");
    trace.printf("distInt %i\n", p.distInt);

    p.filtro = host.evalTruncated("set aaa $a(filtro)", "filtro");
    trace.printf("fitro %i\n", p.filtro);
    p.random = host.evalTruncated("set aaa $a(random)", "random");
    trace.printf("random %i\n", p.random);
    p.nRand = host.evalTruncated("set aaa $a(nRand)", "nRand");
    trace.printf("nRand %i\n", p.nRand);
    p.fftlen = host.evalTruncated("set aaa $v(fftlen)", "v(fftlen)");
    trace.printf("$v(fftlen) %i\n", p.fftlen);
    p.classiLev = host.evalTruncated("set aaa $a(classiLev)", "classiLev");
    trace.printf("$a(classiLev) %i\n", p.classiLev);

    if (p.fftlen <= 0)
        throw RunError("v(fftlen) is " + std::to_string(p.fftlen) + ": the FFT length must be positive");
    run.nFrames = p.sndLen / p.fftlen;
    trace.printf("n intervalli fft \t %d \n\n", run.nFrames);
}

// Snack opens a path it cannot read as an empty sound, without an error: a file that is
// missing, unreadable or a directory would give a table of zeros as if it were silence.
void checkSoundFile(const std::string& name)
{
    Tcl_Obj* path = Tcl_NewStringObj(name.c_str(), static_cast<int>(name.size()));
    Tcl_IncrRefCount(path);
    Tcl_StatBuf st;
    int error = 0;
    if (Tcl_FSAccess(path, R_OK) != 0) error = Tcl_GetErrno() ? Tcl_GetErrno() : ENOENT;
    else if (Tcl_FSStat(path, &st) == 0 && S_ISDIR(Tcl_GetModeFromStat(&st))) error = EISDIR;
    Tcl_DecrRefCount(path);
    if (error) throw RunError("couldn't open \"" + name + "\": " + Tcl_ErrnoMsg(error));
}

// Like makeDir, but a directory that could not be made for want of permission or space says
// so, instead of leaving the first file opened in it to report that it does not exist.
int makeResultDir(const std::string& path)
{
    if (::mkdir(path.c_str(), 0777) == 0) return 0;
    const int error = errno;
    // These the first open in it reports with the same reason.
    return error == EEXIST || error == ENOTDIR || error == ENOENT ? 0 : error;
}

void processFile(Host& host, int index, bool multiFile, RunTotals& totals)
{
    host.eval("set snd [snack::sound -file [lindex $listaFile " + std::to_string(index) + "]]");
    const std::string sound = host.resultString();
    host.eval("set sndName [$snd cget -file]");

    FileRun run;
    run.multiFile = multiFile;
    run.sndName = host.resultString();
    run.sndBase = baseName(run.sndName);
    checkSoundFile(run.sndName);
    const std::string dir = "results/" + run.sndBase;
    int dirError = 0;
    {
        TextFile trace("parametri.txt", "a");
        if (!trace.error().empty()) throw RunError(trace.error());
        trace.printf("sndName %s\n", run.sndBase.c_str());
        readParams(host, trace, run);
        dirError = makeResultDir(dir);
        closeOrThrow(trace);
    }
    if (dirError) throw RunError(dir + ": " + std::strerror(dirError));
    // Settings are refused before anything is written for the sound.
    checkSettings(host, run);

    for (const char* suffix : kEmptiedPerFile) emptyFile(resultPath(run.sndBase, suffix));
    analyseFile(host, run, totals);

    host.eval("unset snd");
    // A batch of thousands of sounds must not keep every sound object alive.
    host.destroySound(sound);
    Tcl_ResetResult(host.interp());
}

int runBatch(Tcl_Interp* interp)
{
    Host host(interp);
    host.eval("llength $listaFile");
    const int nFiles = host.resultInt();

    // With nothing to analyse a directory that cannot be made is no error.
    const int resultsError = makeResultDir("results");
    if (resultsError && nFiles > 0) throw RunError(std::string("results: ") + std::strerror(resultsError));
    const bool multiFile = nFiles > 1;
    if (multiFile) {
        for (const char* table : kCrossFileTables) emptyFile(table);
        TextFile summary("results/Summary.txt", "w");
        summary.put("PowTotAll\tFreqTotAll\tAciTotAll\tShannonAll\tAciIfTotAll\tLevAll\tLevDiffAll\t"
                    "LevRappAll\tEvennessAll\n");
        closeOrThrow(summary);
    }

    RunTotals totals;
    for (int i = 0; i < nFiles; ++i) processFile(host, i, multiFile, totals);
    if (multiFile) writeProfile(totals);
    return TCL_OK;
}

}  // namespace

int OrvaleCmd(ClientData, Tcl_Interp* interp, int, const char**)
{
    // Nothing unwinds into Tcl: every failure becomes TCL_ERROR here.
    try {
        return runBatch(interp);
    } catch (const TclFailure&) {
        return TCL_ERROR;
    } catch (const RunError& e) {
        Tcl_SetObjResult(interp, Tcl_NewStringObj(e.what(), -1));
        return TCL_ERROR;
    } catch (const std::bad_alloc&) {
        Tcl_SetObjResult(interp, Tcl_NewStringObj("Orvale: not enough memory", -1));
        return TCL_ERROR;
    } catch (const std::exception& e) {
        Tcl_SetObjResult(interp, Tcl_NewStringObj(e.what(), -1));
        return TCL_ERROR;
    }
}

}  // namespace orvale
