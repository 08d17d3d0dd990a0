#include "driver/aci_row_store.h"

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "driver/run_error.h"

namespace orvale {

namespace {

std::string failure(const std::string& path, const char* what)
{
    return path + ": " + what + " the ACI rows: " + std::strerror(errno ? errno : EIO);
}

// Moves `bytes` with op(done, left), which returns what it moved as write or pread do,
// until all are moved; false when op fails. Short and interrupted moves are taken again.
template <class Op>
bool moveAll(std::size_t bytes, Op op)
{
    std::size_t done = 0;
    while (done < bytes) {
        errno = 0;
        const ssize_t moved = op(done, bytes - done);
        if (moved < 0 && errno == EINTR) continue;
        if (moved <= 0) return false;
        done += static_cast<std::size_t>(moved);
    }
    return true;
}

}  // namespace

AciRowStore::AciRowStore(int bins, std::string scratchPrefix, std::size_t memoryBytes)
    : bins_(bins > 0 ? bins : 0), prefix_(std::move(scratchPrefix))
{
    const std::size_t rowBytes = static_cast<std::size_t>(bins_) * sizeof(double);
    // At least one row in memory; rows without values take no room anywhere.
    memoryRows_ = rowBytes == 0 ? SIZE_MAX : std::max<std::size_t>(1, memoryBytes / rowBytes);
}

AciRowStore::~AciRowStore()
{
    if (fd_ >= 0) ::close(fd_);
}

void AciRowStore::reserve(std::int64_t slots)
{
    const auto rows = std::min(static_cast<std::size_t>(std::max<std::int64_t>(slots, 0)), memoryRows_);
    memory_.reserve(rows * static_cast<std::size_t>(bins_));
}

void AciRowStore::prepareRow()
{
    const auto n = static_cast<std::size_t>(bins_);
    if (static_cast<std::size_t>(rows_) >= memoryRows_ || memory_.capacity() >= memory_.size() + n) return;
    memory_.reserve(std::min(std::max(memory_.size() + n, 2 * memory_.capacity()), memoryRows_ * n));
}

void AciRowStore::openScratch()
{
    const std::string pattern = prefix_ + "XXXXXX";
    std::string path = pattern;
    errno = 0;
    fd_ = ::mkstemp(path.data());
    if (fd_ < 0) throw RunError(failure(pattern, "cannot make a scratch file for"));
    path_ = path;
    // Open, the file lives on without a name: a crash cannot leave it behind.
    ::unlink(path_.c_str());
}

void AciRowStore::append(std::span<const double> row)
{
    const auto n = static_cast<std::size_t>(bins_);
    if (static_cast<std::size_t>(rows_) < memoryRows_) {
        memory_.insert(memory_.end(), row.begin(), row.begin() + static_cast<std::ptrdiff_t>(n));
        ++rows_;
        return;
    }
    if (fd_ < 0) openScratch();
    const char* p = reinterpret_cast<const char*>(row.data());
    if (!moveAll(n * sizeof(double), [&](std::size_t done, std::size_t left) { return ::write(fd_, p + done, left); }))
        throw RunError(failure(path_, "cannot write"));
    ++rows_;
}

void AciRowStore::read(int r, int from, std::span<double> out) const
{
    assert(r >= 0 && r < rows_ && from >= 0 && static_cast<std::size_t>(from) + out.size() <= std::size_t(bins_));
    const auto n = static_cast<std::size_t>(bins_);
    const auto row = static_cast<std::size_t>(r);
    if (row < memoryRows_) {
        const auto start = memory_.begin() + static_cast<std::ptrdiff_t>(row * n + static_cast<std::size_t>(from));
        std::copy(start, start + static_cast<std::ptrdiff_t>(out.size()), out.begin());
        return;
    }
    char* p = reinterpret_cast<char*>(out.data());
    const auto offset = static_cast<off_t>(((row - memoryRows_) * n + static_cast<std::size_t>(from)) * sizeof(double));
    if (!moveAll(out.size() * sizeof(double), [&](std::size_t done, std::size_t left) {
            return ::pread(fd_, p + done, left, offset + static_cast<off_t>(done));
        }))
        throw RunError(failure(path_, "cannot read back"));
}

}  // namespace orvale
