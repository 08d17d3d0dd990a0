#include "driver/text_file.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdarg>
#include <cstring>
#include <memory>
#include <vector>
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

// Files are opened per interval: a fresh 128 KiB buffer each time would be zeroed and, at
// that size, mapped and unmapped by malloc. Closed files give theirs back for the next.
struct Buffer {
    std::unique_ptr<char[]> data;
    std::size_t size = 0;
};
thread_local std::vector<Buffer> pool;

constexpr std::size_t kPooled = 4;

Buffer borrow(std::size_t atLeast)
{
    pool.reserve(kPooled);  // so that giving back never allocates
    for (auto it = pool.rbegin(); it != pool.rend(); ++it)
        if (it->size >= atLeast) {
            Buffer b = std::move(*it);
            pool.erase(std::next(it).base());
            return b;
        }
    return {std::unique_ptr<char[]>(new char[atLeast]), atLeast};  // contents need no clearing
}

void giveBack(char* data, std::size_t size) noexcept
{
    if (!data) return;
    // More buffers than files ever open at once would only hold memory.
    if (pool.size() >= kPooled) {
        delete[] data;
        return;
    }
    pool.push_back({std::unique_ptr<char[]>(data), size});
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
        Buffer b = borrow(2 * kBlock);
        size_ = b.size;
        buf_ = b.data.release();
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
    if (std::fwrite(buf_, 1, used_, fp_) != used_) fail();
    used_ = 0;
}

void TextFile::maybeFlush()
{
    if (used_ >= kBlock) flush();
}

char* TextFile::space(std::size_t n)
{
    if (used_ + n > size_) {
        flush();
        if (n > size_) {
            giveBack(buf_, size_);
            buf_ = nullptr;  // borrow may throw: never leave a buffer owned twice
            Buffer b = borrow(n);
            size_ = b.size;
            buf_ = b.data.release();
        }
    }
    return buf_ + used_;
}

bool TextFile::close()
{
    if (fp_) {
        flush();
        errno = 0;
        if (std::fflush(fp_) != 0) fail();
        if (std::fclose(fp_) != 0) fail();
        fp_ = nullptr;
        giveBack(buf_, size_);
        buf_ = nullptr;
        size_ = 0;
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

void TextFile::putInt(std::int64_t value, char after)
{
    if (!fp_) return;
    char* p = space(24);
    if (value >= INT32_MIN && value <= INT32_MAX) {
        p = formatInt(p, static_cast<std::int32_t>(value));
    } else {
        auto [end, ec] = std::to_chars(p, p + 23, value);
        (void)ec;  // 23 characters always hold an int64
        p = end;
    }
    *p++ = after;
    commit(p);
}

void TextFile::putFixed(double value, std::string_view after)
{
    if (!fp_) return;
    char* p = space(32 + after.size());
    if (char* end = formatFixed(p, value)) {
        std::memcpy(end, after.data(), after.size());
        commit(end + after.size());
        return;
    }
    std::string cell;
    appendFixed(cell, value);
    cell += after;
    put(cell);
}

char* formatFixed(char* p, double value)
{
    // value = m * 2^e exactly; value * 10^6 is then a whole number over a power of two,
    // rounded to the nearest, ties to even, as printf rounds the exact binary value.
    if (!(std::fabs(value) < 1e9)) return nullptr;  // also NaN
    int e = 0;
    const double fraction = std::frexp(value, &e);  // value = fraction * 2^e, 0.5 <= |fraction| < 1
    const auto m = static_cast<std::uint64_t>(std::fabs(std::ldexp(fraction, 53)));  // exact
    e -= 53;
    using U128 = unsigned __int128;
    const U128 scaled = U128(m) * 1000000u;
    std::uint64_t n = 0;
    if (e >= 0) {
        n = static_cast<std::uint64_t>(scaled << e);  // below 10^15 for |value| < 10^9
    } else if (e > -120) {
        const int shift = -e;
        const U128 q = scaled >> shift;
        const U128 rest = scaled - (q << shift);
        const U128 half = U128(1) << (shift - 1);
        n = static_cast<std::uint64_t>(q);
        if (rest > half || (rest == half && (n & 1))) ++n;
    }
    // A negative value keeps its sign even when it rounds to zero, as printf's does.
    if (std::signbit(value)) *p++ = '-';
    const std::uint64_t whole = n / 1000000;
    const auto decimals = static_cast<std::uint32_t>(n % 1000000);
    p = formatInt(p, static_cast<std::int32_t>(whole));  // below 10^9
    *p++ = '.';
    // Six digits with their leading zeros: the last six of eight.
    const std::uint64_t text = detail::eightDigits(decimals) + 0x3030303030303030ULL;
    std::memcpy(p, reinterpret_cast<const char*>(&text) + 2, 6);
    return p + 6;
}

void appendFixed(std::string& out, double value)
{
    char fast[32];
    if (const char* end = formatFixed(fast, value)) {
        out.append(fast, static_cast<std::size_t>(end - fast));
        return;
    }
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
