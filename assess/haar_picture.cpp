#include "assess/haar_picture.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/allocate.h"
#include "core/truncate.h"
#include "raster/bmp_writer.h"

namespace lumesta {
namespace {

constexpr std::int64_t kStripBytes = std::int64_t{1} << 20;

void StretchInto(const float* values, int first, int count, const HaarRange& range,
                 std::uint8_t* row)
{
    for (int j = first; j < first + count; ++j) {
        const std::uint8_t grey = HaarPictureByte(values[j], range);
        row[3 * j] = grey;
        row[3 * j + 1] = grey;
        row[3 * j + 2] = grey;
    }
}

// One picture line: the level whose lower half holds the line gives its D2 and D3; above it,
// every level gives its D1, and the last level its approximation.
void PictureLine(const float* values, int line, int width, int height, int levels,
                 const HaarRanges& ranges, std::uint8_t* row)
{
    int w = width;
    int h = height;
    for (int k = 1; k <= levels; ++k) {
        w = TruncToInt(w * 0.5);
        h = TruncToInt(h * 0.5);
        const std::array<HaarRange, 4>& range = ranges[static_cast<std::size_t>(k - 1)];
        if (line >= h) {
            StretchInto(values, 0, w, range[2], row);
            StretchInto(values, w, w, range[3], row);
            return;
        }
        StretchInto(values, w, w, range[1], row);
        if (k == levels) StretchInto(values, 0, w, range[0], row);
    }
}

}  // namespace

std::uint8_t HaarPictureByte(float value, const HaarRange& range)
{
    if (std::isnan(value)) return 0;  // no data shows black
    const double spread = range.maximum - range.minimum;
    const std::int16_t cell =
        spread == 0.0 ? std::int16_t{0} : TruncToInt16((value - range.minimum) * 255 / spread);
    return static_cast<std::uint8_t>(static_cast<std::uint16_t>(cell));
}

RunOutcome WriteHaarPicture(const RawFile& raster, int width, int height, int levels,
                            const HaarRanges& ranges, const std::string& bmpPath, Host& host)
{
    static const char kCannotRead[] = "Error: Writing to float/binary file.";
    const std::int64_t stride = BmpRowStride(width);
    const int stripLines =
        static_cast<int>(std::clamp<std::int64_t>(kStripBytes / stride, 1, height));
    std::vector<std::uint8_t> rows;
    std::vector<float> values;
    if (!TryAllocate(rows, stride * stripLines, host) || !TryAllocate(values, width, host)) {
        return RunOutcome::Stopped;
    }
    BmpStripWriter bmp;
    if (!bmp.Create(bmpPath, width, height, host)) return RunOutcome::Stopped;
    for (int first = 0; first < height; first += stripLines) {
        const int count = std::min(stripLines, height - first);
        for (int i = 0; i < count; ++i) {
            host.PumpPendingMessages();
            if (host.IsCancelled()) return RunOutcome::Cancelled;
            const int line = first + i;
            const std::int64_t bytes = 4 * static_cast<std::int64_t>(width);
            if (raster.ReadAt(bytes * line, bytes, values.data()) != bytes) {
                host.ShowMessage(kCannotRead);
                return RunOutcome::Stopped;
            }
            // The strip goes to the file bottom-up: its last line is its first row.
            PictureLine(values.data(), line, width, height, levels, ranges,
                        rows.data() + (count - 1 - i) * stride);
        }
        if (!bmp.WriteStrip(first, count, rows.data(), host)) return RunOutcome::Stopped;
    }
    return bmp.Close(host) ? RunOutcome::Finished : RunOutcome::Stopped;
}

}  // namespace lumesta
