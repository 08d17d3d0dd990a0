#include "driver/text_file.h"

#include <cerrno>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdarg>
#include <cstring>
#include <locale.h>
#include <sys/stat.h>

#include "driver/run_error.h"

namespace orvale {

namespace {

constexpr std::size_t kBlock = 1 << 16;

// The host may have called setlocale(); "%f" must still print a '.'.
locale_t classicLocale()
{
    static const locale_t classic = newlocale(LC_ALL_MASK, "C", locale_t{});
    return classic;
}

}  // namespace

TextFile::TextFile(std::string path, const char* mode) : path_(std::move(path))
{
    fp_ = std::fopen(path_.c_str(), mode);
    if (!fp_) {
        error_ = path_ + ": " + std::strerror(errno);
    } else {
        // We buffer ourselves; stdio's own buffer would only copy everything once more.
        std::setvbuf(fp_, nullptr, _IONBF, 0);
        buf_.resize(2 * kBlock);
    }
}

TextFile::~TextFile() { close(); }

void TextFile::fail()
{
    if (error_.empty()) error_ = path_ + ": " + std::strerror(errno ? errno : EIO);
}

void TextFile::flush()
{
    if (!fp_) used_ = 0;  // nothing can be written: drop it, the error is remembered
    if (used_ == 0) return;
    errno = 0;
    if (std::fwrite(buf_.data(), 1, used_, fp_) != used_) fail();
    used_ = 0;
}

void TextFile::maybeFlush()
{
    if (used_ >= kBlock) flush();
}

char* TextFile::space(std::size_t n)
{
    if (used_ + n > buf_.size()) {
        flush();
        if (n > buf_.size()) buf_.resize(n);
    }
    return buf_.data() + used_;
}

bool TextFile::close()
{
    if (fp_) {
        flush();
        errno = 0;
        if (std::fflush(fp_) != 0) fail();
        if (std::fclose(fp_) != 0) fail();
        fp_ = nullptr;
    }
    return error_.empty();
}

void TextFile::put(std::string_view text)
{
    if (!fp_) return;
    char* p = space(text.size());
    std::memcpy(p, text.data(), text.size());
    commit(p + text.size());
}

void TextFile::printf(const char* fmt, ...)
{
    if (!fp_) return;
    const locale_t previous = uselocale(classicLocale());
    char small[256];
    va_list args;
    va_start(args, fmt);
    const int n = std::vsnprintf(small, sizeof small, fmt, args);
    va_end(args);
    if (n >= 0 && static_cast<std::size_t>(n) < sizeof small) {
        put(std::string_view(small, static_cast<std::size_t>(n)));
    } else if (n >= 0) {
        std::vector<char> big(static_cast<std::size_t>(n) + 1);
        va_start(args, fmt);
        std::vsnprintf(big.data(), big.size(), fmt, args);
        va_end(args);
        put(std::string_view(big.data(), static_cast<std::size_t>(n)));
    }
    uselocale(previous);
}

namespace detail {

// "0000" to "9999", four characters each.
const char* const kQuads = [] {
    static char table[40000];
    for (int i = 0; i < 10000; ++i) {
        table[4 * i] = static_cast<char>('0' + i / 1000);
        table[4 * i + 1] = static_cast<char>('0' + i / 100 % 10);
        table[4 * i + 2] = static_cast<char>('0' + i / 10 % 10);
        table[4 * i + 3] = static_cast<char>('0' + i % 10);
    }
    return table;
}();

}  // namespace detail

void TextFile::putInt(std::int64_t value, char after)
{
    if (!fp_) return;
    char cell[24];
    auto [end, ec] = std::to_chars(cell, cell + sizeof cell - 1, value);
    (void)ec;  // 23 characters always hold an int64
    *end++ = after;
    put(std::string_view(cell, static_cast<std::size_t>(end - cell)));
}

void TextFile::putFixed(double value, std::string_view after)
{
    if (!fp_) return;
    std::string cell;
    appendFixed(cell, value);
    cell += after;
    put(cell);
}

void appendFixed(std::string& out, double value)
{
    if (std::isfinite(value) && std::fabs(value) < 1e300) {
        // Correctly rounded like glibc's printf, without a locale lookup per cell.
        char cell[400];
        auto [end, ec] = std::to_chars(cell, cell + sizeof cell, value, std::chars_format::fixed, 6);
        if (ec == std::errc{}) {
            out.append(cell, end);
            return;
        }
    }
    // inf, nan, -nan and the huge: exactly what the platform's "%f" writes.
    const locale_t previous = uselocale(classicLocale());
    char cell[400];
    const int n = std::snprintf(cell, sizeof cell, "%f", value);
    uselocale(previous);
    if (n > 0) out.append(cell, std::min<std::size_t>(static_cast<std::size_t>(n), sizeof cell - 1));
}

void closeOrThrow(TextFile& file)
{
    if (!file.close()) throw RunError(file.error());
}

std::string baseName(const std::string& f)
{
    const auto slash = f.rfind('/');
    const std::size_t from = slash == std::string::npos ? 0 : slash + 1;
    const auto dot = f.rfind('.');
    // A '.' before the last '/' belongs to a directory, not to an extension.
    const std::size_t to = (dot == std::string::npos || dot < from) ? f.size() : dot;
    return f.substr(from, to - from);
}

std::string resultPath(const std::string& sndBase, const char* suffix)
{
    return "results/" + sndBase + "/" + sndBase + suffix;
}

void makeDir(const std::string& path) { (void)::mkdir(path.c_str(), 0777); }

void emptyFile(const std::string& path)
{
    TextFile f(path, "w");
    closeOrThrow(f);
}

void appendText(const std::string& path, std::string_view text)
{
    TextFile f(path, "a");
    f.put(text);
    closeOrThrow(f);
}

}  // namespace orvale
