#pragma once
#include <cstdint>
#include <span>
#include <vector>

namespace orvale {

// Column j of a table of `rows` rows of `cols` values, summed from 0.0 in ascending row order.
std::vector<double> columnSums(std::span<const double> table, int rows, int cols);

// Left-to-right sum from 0.0.
double sumOf(std::span<const double> values);
std::int64_t sumOf(std::span<const std::int64_t> values);

}  // namespace orvale
