#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

namespace orvale {

// One interval's spectrogram: `frames` rows of the interval, then the end frame,
// each row `width` entries long (the whole spectrum of the frame).
struct SpectrogramView {
    std::span<const std::int32_t> values;
    int frames = 0;
    int width = 0;

    std::int32_t at(int row, int bin) const
    {
        return values[static_cast<std::size_t>(row) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(bin)];
    }
};

}  // namespace orvale
