#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "driver/checked_allocator.h"
#include "indices/aci_rows.h"

namespace orvale {

// The ACI rows of one sound. The first rows, up to memoryBytes of them, are kept in memory;
// the rest go to a scratch file that is removed from its directory as soon as it is open,
// so that memory does not grow with the length of the recording and nothing is left behind.
class AciRowStore final : public AciRowSource {
public:
    static constexpr std::size_t kMemoryBytes = 256 * 1024;

    // scratchPrefix: where the scratch file would go, a unique suffix is added.
    AciRowStore(int bins, std::string scratchPrefix, std::size_t memoryBytes = kMemoryBytes);
    ~AciRowStore() override;
    AciRowStore(const AciRowStore&) = delete;
    AciRowStore& operator=(const AciRowStore&) = delete;

    // Memory for the rows of `slots` intervals, as far as they are kept there. Throws
    // std::bad_alloc or std::length_error.
    void reserve(std::int64_t slots);
    // Room for the next row before its interval is analysed. Throws std::bad_alloc.
    void prepareRow();
    // Appends a row of bins() values. Throws RunError naming the scratch file if it fails.
    void append(std::span<const double> row);

    int rows() const override { return rows_; }
    int bins() const override { return bins_; }
    // Throws RunError naming the scratch file if it cannot be read.
    void read(int r, int from, std::span<double> out) const override;

private:
    void openScratch();

    int bins_;
    std::string prefix_;
    std::string path_;  // the scratch file once made
    std::size_t memoryRows_;
    int rows_ = 0;
    CheckedVector<double> memory_;
    int fd_ = -1;
};

}  // namespace orvale
