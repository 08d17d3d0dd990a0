#pragma once
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

namespace orvale {

// One file opened for one group of writes. Text is collected in a buffer and written in
// large blocks; everything is formatted in the classic locale whatever the host has set.
// A failed open, write or close is remembered with the path and the system's reason.
class TextFile {
public:
    TextFile(std::string path, const char* mode);  // "w" empties, "a" appends
    ~TextFile();
    TextFile(const TextFile&) = delete;
    TextFile& operator=(const TextFile&) = delete;

    bool close();  // false: error() says why
    const std::string& error() const { return error_; }
    const std::string& path() const { return path_; }

    [[gnu::format(printf, 2, 3)]] void printf(const char* fmt, ...);
    void put(std::string_view text);
    void putInt(std::int64_t value, char after);    // "%d" then one character
    void putFixed(double value, std::string_view after);  // "%f" then text

    // For writers that format many cells themselves: room for at least n bytes at the end of
    // the text, then the end of what was written there.
    char* space(std::size_t n);
    void commit(const char* end) { used_ = static_cast<std::size_t>(end - buf_); maybeFlush(); }

private:
    void flush();
    void maybeFlush();
    void fail();

    std::FILE* fp_ = nullptr;
    std::string path_;
    std::string error_;
    char* buf_ = nullptr;  // borrowed from a pool of buffers, given back on close
    std::size_t size_ = 0;
    std::size_t used_ = 0;
};

namespace detail {
static_assert(std::endian::native == std::endian::little, "the digit words below are laid out little-endian");

// The eight decimal digits of u < 10^8 as the bytes of a word, most significant digit in
// the lowest byte: all digits at once, halving each field in place.
inline std::uint64_t eightDigits(std::uint32_t u)
{
    const std::uint64_t x = (u / 10000) | (std::uint64_t(u % 10000) << 32);  // two fields < 10^4
    const std::uint64_t hundreds = ((x * 5243) >> 19) & 0x0000007F0000007FULL;  // field / 100
    const std::uint64_t y = hundreds | ((x - 100 * hundreds) << 16);        // four fields < 100
    const std::uint64_t tens = ((y * 103) >> 10) & 0x000F000F000F000FULL;   // field / 10
    return tens | ((y - 10 * tens) << 8);
}
}  // namespace detail

// Writes "%d" of a 32-bit integer at p and returns the end: the spectrogram's hot path, one
// call per value. At most 11 bytes; p must have room for 12, as whole words are stored.
inline char* formatInt(char* p, std::int32_t value)
{
    constexpr std::uint64_t kZeros = 0x3030303030303030ULL;  // '0' in every byte
    std::uint32_t u = static_cast<std::uint32_t>(value);
    if (value < 0) {
        *p++ = '-';
        u = 0u - u;  // well defined for INT32_MIN too
    }
    if (u >= 100000000) {
        const std::uint32_t top = u / 100000000;  // 1 to 42
        u -= top * 100000000;
        if (top >= 10) *p++ = static_cast<char>('0' + top / 10);
        *p++ = static_cast<char>('0' + top % 10);
        const std::uint64_t text = detail::eightDigits(u) + kZeros;
        std::memcpy(p, &text, 8);
        return p + 8;
    }
    const std::uint64_t digits = detail::eightDigits(u);
    // Leading zeros are the zero bytes at the low end; the last digit always stays.
    const int skip = std::countr_zero(digits | (std::uint64_t(1) << 56)) / 8;
    const std::uint64_t text = (digits + kZeros) >> (8 * skip);
    std::memcpy(p, &text, 8);
    return p + 8 - skip;
}

// Throws RunError naming the path when the file could not be opened, written or closed.
void closeOrThrow(TextFile& file);

// Appends "%f" of a double to out exactly as printf does in the classic locale.
void appendFixed(std::string& out, double value);

// "%f" of a value below 10^9 in magnitude, written at p (at most 20 bytes, room for 24
// needed); the end, or nullptr for any other value.
char* formatFixed(char* p, double value);

// Text after the last '/' and before the last '.'; a backslash is an ordinary character.
std::string baseName(const std::string& fileName);

// "results/" + sndBase + "/" + sndBase + suffix; only '/' separates directories.
std::string resultPath(const std::string& sndBase, const char* suffix);

// Creates a directory; an existing one, or any other failure, is passed over in silence
// (a real problem shows at the first open of a file in it).
void makeDir(const std::string& path);

// Opens with "w" and closes at once; throws RunError naming the path on failure.
void emptyFile(const std::string& path);

// Opens with "a", writes, closes; throws RunError naming the path on failure.
void appendText(const std::string& path, std::string_view text);

}  // namespace orvale
