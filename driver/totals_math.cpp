#include "driver/totals_math.h"

#include <cstddef>

namespace orvale {

double sumOf(std::span<const double> values)
{
    double sum = 0.0;
    for (double v : values) sum += v;
    return sum;
}

std::int64_t sumOf(std::span<const std::int64_t> values)
{
    // Wraps like unsigned arithmetic rather than overflow: an hour of loud bins stays far
    // below 2^63, but a hostile host must not be able to cause undefined behaviour.
    std::uint64_t sum = 0;
    for (std::int64_t v : values) sum += static_cast<std::uint64_t>(v);
    return static_cast<std::int64_t>(sum);
}

}  // namespace orvale
