#pragma once
#include <span>

namespace orvale {

// A sound's ACI rows, one per analysed interval in the order analysed, each of the same
// number of bins. They are read back in pieces, so that they need not all be in memory.
class AciRowSource {
public:
    virtual ~AciRowSource() = default;
    virtual int rows() const = 0;
    virtual int bins() const = 0;
    // Values [from, from + out.size()) of row r.
    virtual void read(int r, int from, std::span<double> out) const = 0;
};

// Rows held in one array, row after row. Counts below zero are taken as zero.
class RowsInMemory final : public AciRowSource {
public:
    RowsInMemory(std::span<const double> values, int rows, int bins);
    int rows() const override { return rows_; }
    int bins() const override { return bins_; }
    void read(int r, int from, std::span<double> out) const override;

private:
    std::span<const double> values_;
    int rows_;
    int bins_;
};

}  // namespace orvale
