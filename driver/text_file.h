#pragma once
#include <cstdint>
#include <cstdio>
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

// Appends "%d" of a 32-bit integer at p and returns the end: the spectrogram's hot path.
char* formatInt(char* p, std::int32_t value);

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
