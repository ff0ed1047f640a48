#pragma once
// 3 × 3 spatial filters of fused bands and clipping to the 11-bit range.

#include <cstdint>

#include "core/host.h"

namespace lumesta {

enum class Kernel16 { Sharpen, Detail };

// Filters a height × width band in place: each inner pixel becomes
// trunc(integer weighted sum of unfiltered neighbours × scale), Sharpen
// (−2 −2 −2 / −2 32 −2 / −2 −2 −2, scale 0.0625) or Detail (0 −1 0 / −1 10 −1 / 0 −1 0, scale
// 0.16666667f). Rows 0 and H − 1 and columns 0 and W − 1 keep their values. Pumps messages
// once per row.
void FilterBand(int height, int width, std::int16_t* band, Kernel16 kernel, Host& host);

enum class Kernel8 { Smooth, Sharpen, Detail };

// The 8-bit filters of the Landsat tool, in place, like FilterBand: Smooth
// (1 1 1 / 1 5 1 / 1 1 1 × 0.07692308f, truncated), Sharpen (the 16-bit kernel × 0.0625) and
// Detail (the 16-bit kernel × 0.16666667f); Sharpen and Detail results are taken in single
// precision, kept within 0..255 and truncated.
void FilterBand8(int height, int width, std::uint8_t* band, Kernel8 kernel, Host& host);

// One inner row of FilterBand or FilterBand8 computed from the unfiltered rows above, centre
// and below (width samples each): out takes centre's first and last samples and the filtered
// inner samples. out must not be one of the three rows.
void FilterRow(Kernel16 kernel, const std::int16_t* above, const std::int16_t* centre,
               const std::int16_t* below, std::int64_t width, std::int16_t* out);
void FilterRow(Kernel8 kernel, const std::uint8_t* above, const std::uint8_t* centre,
               const std::uint8_t* below, std::int64_t width, std::uint8_t* out);

// Every sample below 0 becomes 0 and every sample above 2047 becomes 2047.
void ClipBand(std::int64_t count, std::int16_t* band);

}  // namespace lumesta
