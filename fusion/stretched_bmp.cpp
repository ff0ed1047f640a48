#include "fusion/stretched_bmp.h"

#include <type_traits>
#include <vector>

#include "core/allocate.h"
#include "raster/bmp_writer.h"

namespace lumesta {
namespace {

const std::string kLengthProblem = "Error! reading an image  file - length problem.";
constexpr int kStripCount = 8;

// The byte of every possible sample value of one band, so the picture loop is a look-up.
template <typename T>
std::vector<std::uint8_t> StretchTable(const StretchCutoffs& limits, int strength)
{
    constexpr int kValues = sizeof(T) == 1 ? 256 : 65536;
    std::vector<std::uint8_t> table(kValues);
    for (int raw = 0; raw < kValues; ++raw) {
        const T value = sizeof(T) == 1 ? static_cast<T>(raw)
                                       : static_cast<T>(static_cast<std::uint16_t>(raw));
        table[raw] = StretchByte(value, limits.low, limits.high, strength);
    }
    return table;
}

template <typename T>
StepResult WriteStretchedBmp(const StretchedBmpJob& job, RunProgress& progress,
                             const std::function<bool()>& pump, Host& host)
{
    using Index = std::make_unsigned_t<T>;
    const auto width = static_cast<std::int32_t>(job.width);
    const auto height = static_cast<std::int32_t>(job.height);
    const std::int64_t stride = BmpRowStride(width);
    std::array<std::vector<std::uint8_t>, 3> tables;
    for (int b = 0; b < 3; ++b) tables[b] = StretchTable<T>(job.limits[b], job.nonlinear[b]);
    const std::int32_t maxStrip = BmpStripOf(height, 0).lineCount;
    std::vector<std::uint8_t> rows;
    std::array<std::vector<T>, 3> lines;
    if (!TryAllocate(rows, stride * maxStrip, host)) return StepResult::Failed;
    for (auto& line : lines) {
        if (!TryAllocate(line, job.width * maxStrip, host)) return StepResult::Failed;
    }
    BmpStripWriter writer;
    if (!writer.Create(job.path, width, height, host)) return StepResult::Failed;
    std::int64_t rowsDone = 0;
    for (int strip = 0; strip < kStripCount; ++strip) {
        const BmpStrip part = BmpStripOf(height, strip);
        if (part.lineCount <= 0) continue;
        const std::int64_t bytes = job.width * part.lineCount * static_cast<std::int64_t>(sizeof(T));
        for (int b = 0; b < 3; ++b) {
            const std::int64_t offset = part.firstLine * job.width * static_cast<std::int64_t>(sizeof(T));
            if (job.bands[b]->ReadAt(offset, bytes, lines[b].data()) != bytes) {
                host.ShowMessage(kLengthProblem);
                return StepResult::Failed;
            }
        }
        for (std::int32_t i = 0; i < part.lineCount; ++i) {
            // File order is bottom-up: the strip's last line comes first.
            std::uint8_t* out = rows.data() + static_cast<std::int64_t>(part.lineCount - 1 - i) * stride;
            const std::int64_t at = static_cast<std::int64_t>(i) * job.width;
            for (std::int64_t x = 0; x < job.width; ++x) {
                for (int b = 0; b < 3; ++b) {
                    out[3 * x + b] = tables[b][static_cast<Index>(lines[b][at + x])];
                }
            }
        }
        if (!writer.WriteStrip(part.firstLine, part.lineCount, rows.data(), host)) {
            return StepResult::Failed;
        }
        rowsDone += part.lineCount;
        progress.SetPosition(static_cast<int>(rowsDone * 100 / job.height));
        if (!pump()) return StepResult::Cancelled;
    }
    if (!writer.Close()) {
        host.ShowMessage("Error during writing image");
        return StepResult::Failed;
    }
    return StepResult::Ok;
}

}  // namespace

StepResult WriteStretchedBmp16(const StretchedBmpJob& job, RunProgress& progress,
                               const std::function<bool()>& pump, Host& host)
{
    return WriteStretchedBmp<std::int16_t>(job, progress, pump, host);
}

StepResult WriteStretchedBmp8(const StretchedBmpJob& job, RunProgress& progress,
                              const std::function<bool()>& pump, Host& host)
{
    return WriteStretchedBmp<std::uint8_t>(job, progress, pump, host);
}

}  // namespace lumesta
