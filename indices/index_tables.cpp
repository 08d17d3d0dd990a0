#include "indices/index_tables.h"

#include <initializer_list>
#include <optional>

#include "driver/run_error.h"
#include "driver/text_file.h"

namespace orvale {

namespace {

// Closes in the given order (a null one is a file not opened) and reports the first failure.
void closeAll(std::initializer_list<TextFile*> files)
{
    std::string error;
    for (TextFile* f : files)
        if (f && !f->close() && error.empty()) error = f->error();
    if (!error.empty()) throw RunError(error);
}

// A file that is opened only for a batch.
struct Optional {
    Optional(bool open, const char* path, const char* mode)
    {
        if (open) file.emplace(path, mode);
    }
    std::optional<TextFile> file;
    TextFile* get() { return file ? &*file : nullptr; }
    TextFile* operator->() { return get(); }
    explicit operator bool() const { return file.has_value(); }
};

// One interval's line of an index table, ended by "\n", and its lines of the surface file.
void writeIndexRow(TextFile& table, TextFile& surface, int k, const std::vector<std::optional<double>>& values)
{
    for (std::size_t b = 0; b < values.size(); ++b) {
        surface.putInt(k, '\t');
        surface.putInt(static_cast<std::int64_t>(b), '\t');
        if (const auto& value = values[b]) {
            table.putFixed(*value, "\t");
            surface.putFixed(*value, "\n");
        } else {
            // Stored files keep these two shapes of an undefined cell.
            table.putFixed(0.0, "\t ");
            surface.put("0\n");
        }
    }
    table.put("\n");
}

}  // namespace

void writeShannon(const std::string& sndBase, double index, bool multiFile)
{
    TextFile cell(resultPath(sndBase, "_shannon.txt"), "a");
    cell.putFixed(index, "\t");
    closeOrThrow(cell);
    if (multiFile) appendText("results/shannonAll.txt", [&] {
        std::string text;
        appendFixed(text, index);
        return text + "\t";
    }());
}

void writeBandStats(const std::string& sndBase, const IntervalAci& interval)
{
    TextFile pow(resultPath(sndBase, "_pow.txt"), "a");
    TextFile freq(resultPath(sndBase, "_freq.txt"), "a");
    for (std::size_t b = 0; b < interval.powSum.size(); ++b) {
        pow.putInt(interval.powSum[b], '\t');
        freq.putInt(interval.freqCount[b], '\t');
    }
    pow.put("\n");
    freq.put("\n");
    closeAll({&pow, &freq});
}

void writeAciTables(const std::string& sndBase, int k, const IntervalAci& interval)
{
    {
        TextFile aci(resultPath(sndBase, "_aci.txt"), "a");
        TextFile surf(resultPath(sndBase, "_surf.txt"), "a");
        writeIndexRow(aci, surf, k, interval.aci);
        closeAll({&aci, &surf});
    }
    TextFile aciIf(resultPath(sndBase, "_aciIf.txt"), "a");
    TextFile surfIf(resultPath(sndBase, "_surfIf.txt"), "a");
    TextFile total(resultPath(sndBase, "_AciIfTot.txt"), "a");
    writeIndexRow(aciIf, surfIf, k, interval.aciIf);
    total.putFixed(interval.aciIfTot, "\n");
    closeAll({&total, &aciIf, &surfIf});
}

void writeLevTables(const std::string& sndBase, const LevResult& lev, bool multiFile)
{
    TextFile levFile(resultPath(sndBase, "_lev.txt"), "w");
    TextFile levDiffFile(resultPath(sndBase, "_levDiff.txt"), "w");
    TextFile levRappFile(resultPath(sndBase, "_levRapp.txt"), "w");
    Optional levAll(multiFile, "results/levAll.txt", "a");
    Optional levDiffAll(multiFile, "results/levDiffAll.txt", "a");
    Optional levRappAll(multiFile, "results/levRappAll.txt", "a");

    // levDiff cells start at the second pair: cell i belongs to pair i + 1.
    for (std::size_t pair = 0; pair < lev.lev.size(); ++pair) {
        if (pair >= 1 && pair - 1 < lev.levDiff.size()) {
            levDiffFile.putInt(lev.levDiff[pair - 1], '\t');
            if (levDiffAll) levDiffAll->putInt(lev.levDiff[pair - 1], '\t');
        }
        levFile.putInt(lev.lev[pair], '\t');
        if (levAll) levAll->putInt(lev.lev[pair], '\t');
    }
    Optional summary(multiFile, "results/Summary.txt", "a");
    if (summary) {
        summary->putFixed(lev.levSum, "\t");
        summary->putFixed(lev.levDiffSum, "\t");
    }
    levRappFile.putFixed(lev.levRapp, "\t");
    if (multiFile) {
        levRappAll->putFixed(lev.levRapp, "\n");
        summary->putFixed(lev.levRapp, "\t");
    }
    closeAll({summary.get(), &levFile, &levDiffFile, &levRappFile, levAll.get(), levDiffAll.get(),
              levRappAll.get()});
}

void writeEvennessTables(const std::string& sndBase, const Evenness& evenness, int nBins, bool multiFile)
{
    TextFile perFile(resultPath(sndBase, "_AciEvenness.txt"), "w");
    Optional all(multiFile, "results/EvennessAll.txt", "a");
    if (evenness.zeroTotal) {
        for (int j = 0; j < nBins; ++j) {
            perFile.putFixed(0.0, "\t");
            if (all) all->putFixed(0.0, "\t");
        }
    }
    perFile.putFixed(evenness.index, "\t");
    closeOrThrow(perFile);
    if (all) {
        all->putFixed(evenness.index, "\t");
        closeAll({all.get()});
        appendText("results/Summary.txt", [&] {
            std::string text;
            appendFixed(text, evenness.index);
            return text + "\t";
        }());
    }
}

}  // namespace orvale
