#include "fusion/outputs/stretched_bmp.h"

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "core/allocate.h"
#include "core/worker_threads.h"
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

// Rows of the picture converted and written at a time: bounded, so the memory does not grow
// with the image; the eight strips of the progress are made of such pieces. The fused bands
// are read back from the disk, so pieces are large enough for each read to cost little more
// than its bytes.
constexpr std::int64_t kPieceBytes = std::int64_t{8} << 20;

// The buffers of one thread's pieces.
template <typename T>
struct PictureBuffers {
    std::vector<std::uint8_t> rows;
    std::array<std::vector<T>, 3> lines;
};

// Converts lines [first, first + count) of the three bands into file rows and writes them at
// their place. False (after the message) when a read or the write failed.
template <typename T>
bool WritePicturePiece(const StretchedBmpJob& job, const std::array<std::vector<std::uint8_t>, 3>& tables,
                       BmpStripWriter& writer, std::int32_t first, std::int32_t count,
                       PictureBuffers<T>& buffers, std::string& failure)
{
    using Index = std::make_unsigned_t<T>;
    const std::int64_t stride = BmpRowStride(job.width);
    const std::int64_t bytes = job.width * count * static_cast<std::int64_t>(sizeof(T));
    for (int b = 0; b < 3; ++b) {
        const std::int64_t offset = first * job.width * static_cast<std::int64_t>(sizeof(T));
        if (job.bands[b]->ReadAt(offset, bytes, buffers.lines[b].data()) != bytes) {
            failure = kLengthProblem;
            return false;
        }
    }
    // Plain pointers held in locals: the byte stores below could otherwise alias the vectors'
    // own pointers, which the compiler would then reload for every byte.
    const std::uint8_t* const blueTable = tables[0].data();
    const std::uint8_t* const greenTable = tables[1].data();
    const std::uint8_t* const redTable = tables[2].data();
    const std::int64_t width = job.width;
    for (std::int32_t i = 0; i < count; ++i) {
        // File order is bottom-up: the piece's last line comes first.
        std::uint8_t* out = buffers.rows.data() + static_cast<std::int64_t>(count - 1 - i) * stride;
        const std::int64_t at = static_cast<std::int64_t>(i) * width;
        const T* blue = buffers.lines[0].data() + at;
        const T* green = buffers.lines[1].data() + at;
        const T* red = buffers.lines[2].data() + at;
        for (std::int64_t x = 0; x < width; ++x) {
            out[3 * x] = blueTable[static_cast<Index>(blue[x])];
            out[3 * x + 1] = greenTable[static_cast<Index>(green[x])];
            out[3 * x + 2] = redTable[static_cast<Index>(red[x])];
        }
    }
    if (writer.WriteStripAt(first, count, buffers.rows.data())) return true;
    failure = "Error during writing image";
    return false;
}

template <typename T>
StepResult WriteStretchedBmp(const StretchedBmpJob& job, RunProgress& progress,
                             const std::function<bool()>& pump, Host& host)
{
    const auto width = static_cast<std::int32_t>(job.width);
    const auto height = static_cast<std::int32_t>(job.height);
    const std::int64_t stride = BmpRowStride(width);
    std::array<std::vector<std::uint8_t>, 3> tables;
    for (int b = 0; b < 3; ++b) {
        tables[b] = StretchTable<T>(job.limits[b], job.nonlinear[b]);
        // No data shows black (its sample's index in the table, as the loop below looks up).
        if (job.noData) tables[b][static_cast<std::make_unsigned_t<T>>(*job.noData)] = 0;
    }
    const std::int64_t lineBytes = std::max<std::int64_t>(1, stride + 3 * job.width * static_cast<std::int64_t>(sizeof(T)));
    const auto pieceLines = static_cast<std::int32_t>(std::clamp<std::int64_t>(
        kPieceBytes / lineBytes, 1, std::max(1, BmpStripOf(height, 0).lineCount)));
    // Pieces are independent: each thread converts and writes its own with its own buffers.
    const unsigned threads = WorkerThreads(2);
    std::vector<PictureBuffers<T>> buffers(threads);
    for (auto& buffer : buffers) {
        if (!TryAllocate(buffer.rows, stride * pieceLines, host)) return StepResult::Failed;
        for (auto& line : buffer.lines) {
            if (!TryAllocate(line, job.width * pieceLines, host)) return StepResult::Failed;
        }
    }
    BmpStripWriter writer;
    if (!writer.Create(job.path, width, height, host)) return StepResult::Failed;
    std::int64_t rowsDone = 0;
    for (int strip = 0; strip < kStripCount; ++strip) {
        const BmpStrip part = BmpStripOf(height, strip);
        if (part.lineCount <= 0) continue;
        const std::int64_t pieces = (part.lineCount + pieceLines - 1) / pieceLines;
        std::vector<std::string> failures(threads);
        std::atomic<std::int64_t> next{0};
        const auto work = [&](unsigned thread) {
            for (std::int64_t piece = next++; piece < pieces; piece = next++) {
                const std::int32_t first = part.firstLine + static_cast<std::int32_t>(piece) * pieceLines;
                const std::int32_t count = std::min(pieceLines, part.firstLine + part.lineCount - first);
                if (!WritePicturePiece(job, tables, writer, first, count, buffers[thread], failures[thread])) return;
            }
        };
        std::vector<std::thread> helpers;
        for (unsigned thread = 1; thread < threads && pieces > 1; ++thread) helpers.emplace_back(work, thread);
        work(0);
        for (auto& helper : helpers) helper.join();
        for (const std::string& failure : failures) {
            if (failure.empty()) continue;
            host.ShowMessage(failure);
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
