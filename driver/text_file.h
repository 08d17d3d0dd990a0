#pragma once
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

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
    void commit(const char* end) { used_ = static_cast<std::size_t>(end - buf_.data()); maybeFlush(); }

private:
    void flush();
    void maybeFlush();
    void fail();

    std::FILE* fp_ = nullptr;
    std::string path_;
    std::string error_;
    std::vector<char> buf_;
    std::size_t used_ = 0;
};

namespace detail {
extern const char* const kQuads;

// Up to four digits without leading zeros.
inline char* smallInt(char* p, std::uint32_t u)
{
    const char* q = kQuads + 4 * u;
    const int skip = u >= 1000 ? 0 : u >= 100 ? 1 : u >= 10 ? 2 : 3;
    std::memcpy(p, q + skip, 4);  // the table always has four characters to copy
    return p + 4 - skip;
}
}  // namespace detail

// Writes "%d" of a 32-bit integer at p (at most 11 bytes, 12 may be touched) and returns the
// end: the spectrogram's hot path, one call per value.
inline char* formatInt(char* p, std::int32_t value)
{
    std::uint32_t u = static_cast<std::uint32_t>(value);
    if (value < 0) {
        *p++ = '-';
        u = 0u - u;  // well defined for INT32_MIN too
    }
    if (u < 10000) return detail::smallInt(p, u);
    if (u < 100000000) {
        p = detail::smallInt(p, u / 10000);
        std::memcpy(p, detail::kQuads + 4 * (u % 10000), 4);
        return p + 4;
    }
    p = detail::smallInt(p, u / 100000000);
    u %= 100000000;
    std::memcpy(p, detail::kQuads + 4 * (u / 10000), 4);
    std::memcpy(p + 4, detail::kQuads + 4 * (u % 10000), 4);
    return p + 8;
}

// Throws RunError naming the path when the file could not be opened, written or closed.
void closeOrThrow(TextFile& file);

// Appends "%f" of a double to out exactly as printf does in the classic locale.
void appendFixed(std::string& out, double value);

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
