#include "driver/totals.h"

#include <algorithm>
#include <optional>
#include <string>

#include "driver/pipeline.h"
#include "driver/run_error.h"
#include "driver/text_file.h"
#include "driver/totals_math.h"

namespace orvale {

namespace {

// "%d\t" per bin to the sound's file and, for a batch, to its table; the sum to the Summary.
void writeIntTotals(const FileRun& run, const std::vector<std::int64_t>& totals, const char* suffix,
                    const char* table)
{
    TextFile perFile(resultPath(run.sndBase, suffix), "w");
    std::optional<TextFile> all;
    if (run.multiFile) all.emplace(table, "a");
    for (std::int64_t v : totals) {
        perFile.putInt(v, '\t');
        if (all) all->putInt(v, '\t');
    }
    closeOrThrow(perFile);
    if (all) {
        closeOrThrow(*all);
        appendText("results/Summary.txt", std::to_string(sumOf(totals)) + "\t");
    }
}

std::string fixedCells(std::initializer_list<double> values)
{
    std::string text;
    for (double v : values) {
        appendFixed(text, v);
        text += '\t';
    }
    return text;
}

}  // namespace

void writeTotals(const FileRun& run, const FileAccumulators& acc, RunTotals& totals)
{
    writeIntTotals(run, acc.totPow, "_TotPow.txt", "results/powTotAll.txt");
    writeIntTotals(run, acc.totFreq, "_TotFreq.txt", "results/TotFreqAll.txt");

    if (!totals.profileCreated) {
        totals.aciProfile.assign(static_cast<std::size_t>(acc.nBins), 0.0);
        totals.profileCreated = true;
    }
    totals.lastNBins = acc.nBins;

    const auto& aciTotRow = acc.aciTot;  // summed interval by interval
    {
        TextFile perFile(resultPath(run.sndBase, "_AciTot.txt"), "w");
        std::optional<TextFile> all;
        if (run.multiFile) all.emplace("results/AciTotAll.txt", "a");
        double aciTotSum = 0.0;
        for (std::size_t j = 0; j < aciTotRow.size(); ++j) {
            aciTotSum += aciTotRow[j];
            // A later sound with more bins than the first adds to the profile's bins only.
            if (j < totals.aciProfile.size()) totals.aciProfile[j] += aciTotRow[j];
            perFile.putFixed(aciTotRow[j], "\t");
            if (all) all->putFixed(aciTotRow[j], "\t");
        }
        closeOrThrow(perFile);
        if (all) {
            closeOrThrow(*all);
            appendText("results/Summary.txt", fixedCells({aciTotSum, acc.shannonSum}));
        }
    }

    const auto& aciIfTotRow = acc.aciIfTot;  // summed interval by interval
    if (run.multiFile) {
        TextFile all("results/AciIfTotAll.txt", "a");
        double aciIfTotSum = 0.0;
        for (double v : aciIfTotRow) {
            aciIfTotSum += v;
            all.putFixed(v, "\t");
        }
        closeOrThrow(all);
        appendText("results/Summary.txt", fixedCells({aciIfTotSum}));
    }
}

void writeTerminators()
{
    for (const char* table : {"results/shannonAll.txt", "results/levAll.txt", "results/AciTotAll.txt",
                              "results/AciIfTotAll.txt", "results/EvennessAll.txt", "results/powTotAll.txt",
                              "results/TotFreqAll.txt", "results/levDiffAll.txt", "results/Summary.txt"})
        appendText(table, "\n");
}

void writeProfile(const RunTotals& totals)
{
    TextFile all("results/AciTotAll.txt", "a");
    all.put("\n");
    // The last sound decides how many cells, but never more than the profile holds.
    const std::size_t cells = std::min(static_cast<std::size_t>(std::max(totals.lastNBins, 0)), totals.aciProfile.size());
    for (std::size_t j = 0; j < cells; ++j) all.putFixed(totals.aciProfile[j], "\t");
    closeOrThrow(all);
}

}  // namespace orvale
