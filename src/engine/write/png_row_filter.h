#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Filters PNG rows as libpng's writer does: with the only filter allowed, or with the allowed one
// whose filtered row has the lowest sum of distances from zero (bytes of 128 and above counted as
// negative), the first of equal ones in the order none, sub, up, average, Paeth. The filtered
// rows are then the ones libpng would compress for the same page and filters.
class PngRowFilter {
  public:
    // Rows of `rowBytes` bytes, `pixelBytes` to a pixel (at least 1), filtered with libpng's filter
    // mask `filters` (PNG_FILTER_NONE ...).
    PngRowFilter(std::size_t rowBytes, unsigned pixelBytes, unsigned filters);

    // Filters `row`, under `above` (nullptr for the page's first row), into `out`: the filter's
    // type byte, then the filtered row.
    void filter(const std::uint8_t* row, const std::uint8_t* above, std::uint8_t* out);

  private:
    std::size_t rowBytes_;
    unsigned pixelBytes_;
    unsigned filters_;
    std::vector<std::uint8_t> zeros_;
    std::vector<std::uint8_t> trial_;
    std::vector<std::uint8_t> best_;
};
