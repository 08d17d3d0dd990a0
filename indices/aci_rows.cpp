#include "indices/aci_rows.h"

#include <algorithm>
#include <cassert>
#include <cstddef>

namespace orvale {

RowsInMemory::RowsInMemory(std::span<const double> values, int rows, int bins)
    : values_(values), rows_(rows > 0 ? rows : 0), bins_(bins > 0 ? bins : 0)
{
    assert(values.size() >= static_cast<std::size_t>(rows_) * static_cast<std::size_t>(bins_));
}

void RowsInMemory::read(int r, int from, std::span<double> out) const
{
    assert(r >= 0 && r < rows_ && from >= 0 && static_cast<std::size_t>(from) + out.size() <= std::size_t(bins_));
    const auto start = values_.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(r) * std::size_t(bins_) +
                                                                     static_cast<std::size_t>(from));
    std::copy(start, start + static_cast<std::ptrdiff_t>(out.size()), out.begin());
}

}  // namespace orvale
