#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <unistd.h>

#include "driver/run_error.h"
#include "driver/text_file.h"

namespace {

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string tempPath(const char* name) { return ::testing::TempDir() + name; }

std::string printfFixed(double v)
{
    char buf[400];
    std::snprintf(buf, sizeof buf, "%f", v);
    return buf;
}

}  // namespace

TEST(BaseName, CutsAtLastSlashAndLastDot)
{
    const struct { const char* path; const char* want; } cases[] = {
        {"rec/site1/dawn.wav", "dawn"}, {"dawn.wav", "dawn"}, {"rec/dawn", "dawn"},
        {"rec.old/dawn", "dawn"}, {"rec/dawn.take.wav", "dawn.take"},
        {"rec\\site\\dawn.wav", "rec\\site\\dawn"}, {"rec/.wav", ""}, {"", ""}, {"a/b/", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(orvale::baseName(c.path), c.want) << c.path;
}

TEST(ResultPath, JoinsWithSlashesEvenForAnEmptyBase)
{
    EXPECT_EQ(orvale::resultPath("dawn", "_aci.txt"), "results/dawn/dawn_aci.txt");
    EXPECT_EQ(orvale::resultPath("", "_aci.txt"), "results//_aci.txt");
}

TEST(AppendFixed, MatchesPrintfForEveryKindOfValue)
{
    std::vector<double> values = {0.0, -0.0, 0.75, 0.2272727272727, 1e-7, -5e-7, 4.9999995e-7, 0.0000005,
                                  2.5e-6, 123456789.123456789, -1.0 / 3.0, 1e300, -1e308,
                                  std::numeric_limits<double>::max(), std::numeric_limits<double>::denorm_min(),
                                  std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                                  std::nan(""), -std::nan("")};
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> mantissa(-1, 1);
    std::uniform_int_distribution<int> exponent(-12, 20);
    for (int i = 0; i < 20000; ++i) values.push_back(std::ldexp(mantissa(rng), exponent(rng)));
    std::uniform_int_distribution<int> wide(-60, 40);
    for (int i = 0; i < 200000; ++i) values.push_back(std::ldexp(mantissa(rng), wide(rng)));
    // Odd multiples of 1/128 lie exactly half-way between two six-decimal results: printf
    // rounds them to even. Their neighbours one step away must not be taken for ties.
    for (int t = -100000; t <= 100000; ++t) {
        const double v = t / 128.0;
        values.insert(values.end(), {v, std::nextafter(v, 1e10), std::nextafter(v, -1e10)});
    }
    for (double edge : {1e9, 999999999.9999995, 999999999.999999, 0.0000005, 0.0000015, 4.5e-7})
        for (double v : {edge, -edge, std::nextafter(edge, 0.0), std::nextafter(edge, 2e9)}) values.push_back(v);
    for (double v : values) {
        std::string got;
        orvale::appendFixed(got, v);
        ASSERT_EQ(got, printfFixed(v)) << v;
        char direct[32];
        if (const char* end = orvale::formatFixed(direct, v)) {
            ASSERT_EQ(std::string(direct, static_cast<std::size_t>(end - direct)), got) << v;
        }
    }
}

TEST(TextFile, FormatsInTheClassicLocaleWhateverTheHostSet)
{
    const std::string path = tempPath("locale.txt");
    // A locale with a decimal comma, when the machine has one; the C locale otherwise.
    const char* old = std::setlocale(LC_ALL, nullptr);
    const std::string saved = old ? old : "C";
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    {
        orvale::TextFile f(path, "w");
        f.printf("%f\t%d\n", 0.5, 7);
        f.putFixed(-0.25, "\t");
        f.putInt(-9000000000LL, '\n');
        EXPECT_TRUE(f.close());
    }
    std::setlocale(LC_ALL, saved.c_str());
    EXPECT_EQ(readAll(path), "0.500000\t7\n-0.250000\t-9000000000\n");
}

TEST(TextFile, AppendsAndWritesLargeBlocksWhole)
{
    const std::string path = tempPath("append.txt");
    orvale::emptyFile(path);
    std::string want;
    {
        orvale::TextFile f(path, "a");
        for (int i = 0; i < 100000; ++i) {
            f.putInt(i, '\t');
            want += std::to_string(i) + "\t";
        }
        EXPECT_TRUE(f.close());
    }
    orvale::appendText(path, "end");
    EXPECT_EQ(readAll(path), want + "end");
}

TEST(TextFile, FailuresNameThePathAndTheReason)
{
    orvale::TextFile missing("no/such/dir/x.txt", "w");
    missing.put("lost");
    EXPECT_FALSE(missing.close());
    EXPECT_EQ(missing.error(), "no/such/dir/x.txt: No such file or directory");
    EXPECT_THROW(orvale::emptyFile("no/such/dir/x.txt"), orvale::RunError);

    // A full disk shows at the write or the close, not silently.
    if (access("/dev/full", W_OK) == 0) {
        orvale::TextFile full("/dev/full", "w");
        for (int i = 0; i < 100000; ++i) full.put("0123456789");
        EXPECT_FALSE(full.close());
        EXPECT_EQ(full.error(), "/dev/full: No space left on device");
        try {
            orvale::appendText("/dev/full", "x");
            ADD_FAILURE() << "a write to a full device passed";
        } catch (const orvale::RunError& e) {
            EXPECT_STREQ(e.what(), "/dev/full: No space left on device");
        }
    }
}

TEST(FormatInt, MatchesPrintfAcrossDigitCounts)
{
    std::vector<std::int32_t> values = {0, 9, 10, 99, 100, 999, 1000, 9999, 10000, 99999999, 100000000,
                                        -1, -10000, INT32_MAX, INT32_MIN, 4416319, -99999999};
    std::mt19937 rng(3);
    for (int i = 0; i < 100000; ++i) values.push_back(static_cast<std::int32_t>(rng()) >> (i % 31));
    // The digits are worked out in two four-digit halves: every value of each half, beside
    // a few of the other, and every power of ten and its neighbours.
    for (std::int32_t half = 0; half < 10000; ++half)
        for (std::int32_t other : {0, 1, 10, 909, 9999}) {
            values.push_back(half * 10000 + other);
            values.push_back(other * 10000 + half);
            values.push_back(-(half * 10000 + other));
            values.push_back(2 * 100000000 + half * 10000 + other);
        }
    for (std::int64_t p = 1; p <= INT32_MAX; p *= 10)
        for (std::int64_t v : {p - 1, p, p + 1, -p})
            if (v <= INT32_MAX) values.push_back(static_cast<std::int32_t>(v));
    for (std::int32_t v : values) {
        char buf[16];
        char* end = orvale::formatInt(buf, v);
        ASSERT_EQ(std::string(buf, end), std::to_string(v));
    }
}
