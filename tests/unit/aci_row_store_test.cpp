#include <gtest/gtest.h>

#include <cmath>
#include <dirent.h>
#include <random>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "driver/aci_row_store.h"
#include "driver/run_error.h"
#include "indices/evenness.h"
#include "indices/lev.h"

namespace {

// A fresh directory for one test's scratch files.
std::string freshDir(const char* name)
{
    const std::string dir = ::testing::TempDir() + "aci_rows_" + name;
    ::mkdir(dir.c_str(), 0700);
    return dir;
}

std::vector<std::string> entries(const std::string& dir)
{
    std::vector<std::string> names;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (const dirent* e = ::readdir(d))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.push_back(e->d_name);
        ::closedir(d);
    }
    return names;
}

// Rows whose values differ in every place, rounding-sensitive sums included.
std::vector<double> table(int rows, int bins, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<double> values;
    for (int i = 0; i < rows * bins; ++i) values.push_back(i % 5 == 0 ? 1e16 * unit(rng) : unit(rng));
    return values;
}

TEST(AciRowStore, RowsPastTheMemoryShareAreReadBackFromAScratchFileThatHasNoName)
{
    const std::string dir = freshDir("spill");
    constexpr int bins = 5;
    const std::vector<double> values = table(9, bins, 1);
    // Three rows fit in memory; six go to the scratch file.
    orvale::AciRowStore store(bins, dir + "/s_aciRows.", 3 * bins * sizeof(double));
    store.reserve(9);
    for (int r = 0; r < 9; ++r) {
        store.prepareRow();
        store.append(std::span<const double>(values).subspan(static_cast<std::size_t>(r * bins), bins));
    }
    EXPECT_TRUE(entries(dir).empty()) << "the scratch file must not stay in the directory";
    ASSERT_EQ(store.rows(), 9);
    for (int r = 0; r < 9; ++r)
        for (int from = 0; from < bins; ++from)
            for (int count = 0; from + count <= bins; ++count) {
                std::vector<double> piece(static_cast<std::size_t>(count));
                store.read(r, from, piece);
                for (int i = 0; i < count; ++i)
                    ASSERT_EQ(piece[static_cast<std::size_t>(i)], values[static_cast<std::size_t>(r * bins + from + i)])
                        << "row " << r << " from " << from;
            }
}

TEST(AciRowStore, IndicesOverTheStoreAreThoseOverTheTable)
{
    const std::string dir = freshDir("indices");
    // 300 rows of 40 bins: the evenness reads several blocks of bins.
    for (const auto& [rows, bins, memoryRows] : {std::tuple{300, 40, 7}, std::tuple{1, 3, 1}, std::tuple{4, 1, 2}}) {
        const std::vector<double> values = table(rows, bins, static_cast<unsigned>(rows + bins));
        orvale::AciRowStore store(bins, dir + "/t_aciRows.", static_cast<std::size_t>(memoryRows * bins) * sizeof(double));
        for (int r = 0; r < rows; ++r)
            store.append(std::span<const double>(values).subspan(static_cast<std::size_t>(r * bins), static_cast<std::size_t>(bins)));

        const auto lev = orvale::levIndices(store, 7);
        const auto want = orvale::levIndices(values, rows, bins, 7);
        EXPECT_EQ(lev.lev, want.lev) << rows;
        EXPECT_EQ(lev.levDiff, want.levDiff) << rows;
        EXPECT_EQ(lev.levRapp, want.levRapp) << rows;

        // The grand total taken bin by bin, each bin row by row.
        double total = 0.0;
        std::vector<double> binTot(static_cast<std::size_t>(bins), 0.0);
        for (int j = 0; j < bins; ++j)
            for (int r = 0; r < rows; ++r) {
                total += values[static_cast<std::size_t>(r * bins + j)];
                binTot[static_cast<std::size_t>(j)] += values[static_cast<std::size_t>(r * bins + j)];
            }
        double squares = 0.0;
        for (double t : binTot) squares += (t / total) * (t / total);
        EXPECT_EQ(orvale::evennessIndex(store).index, 1.0 / squares) << rows;
        EXPECT_EQ(orvale::evennessIndex(values, rows, bins).index, 1.0 / squares) << rows;
    }
}

TEST(AciRowStore, AScratchFileThatCannotBeMadeIsAnErrorNamingIt)
{
    const std::string prefix = ::testing::TempDir() + "no_such_dir/s_aciRows.";
    orvale::AciRowStore store(2, prefix, 2 * sizeof(double));
    const std::vector<double> row = {1.0, 2.0};
    store.append(row);  // the first row stays in memory
    try {
        store.append(row);
        ADD_FAILURE() << "a row went nowhere";
    } catch (const orvale::RunError& e) {
        EXPECT_EQ(std::string(e.what()), prefix + "XXXXXX: cannot make a scratch file for the ACI rows: No such file or directory");
    }
}

}  // namespace
