#pragma once
#include <cstdint>
#include <span>
#include <vector>

namespace orvale {

// Left-to-right sum from 0.0.
double sumOf(std::span<const double> values);
std::int64_t sumOf(std::span<const std::int64_t> values);

}  // namespace orvale
