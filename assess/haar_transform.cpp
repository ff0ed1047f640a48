#include "assess/haar_transform.h"

#include <array>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/allocate.h"
#include "core/confirm_overwrite.h"
#include "core/run_files.h"
#include "core/truncate.h"
#include "core/wait_cursor.h"
#include "assess/assess_run.h"
#include "assess/haar_header.h"
#include "raster/bmp_writer.h"
#include "raster/raw_file.h"
#include "raster/world_file.h"

namespace lumesta {
namespace {

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "the float raster is written in the host's byte order, which must be little-endian");

// 1/√2 rounded to single precision.
constexpr float kInverseSqrt2 = 0.70710677f;

void ShowWriteFailure(Host& host)
{
    static const char kCannotWrite[] = "Error: Writing to float/binary file.";
    host.ShowMessage(kCannotWrite);
}

bool IsPowerOfTwo(int side)
{
    for (int e = 0; e <= 19; ++e) {
        if (static_cast<double>(side) == std::pow(2.0, e)) return true;
    }
    return false;
}

bool ValidateHaarJob(const HaarJob& job, Host& host)
{
    static const char kNoLevels[] = "Please input down-sampling level.";
    const AssessInput& input = job.input;
    if (!CheckFileNamesGiven(
            !input.inputName.empty() && !job.outputImagePath.empty() && !job.bmpPath.empty(),
            host)) {
        return false;
    }
    if (!CheckSizeGiven(input, host)) return false;
    // A negative count of levels would decompose nothing: refused as 0 is.
    if (job.levels <= 0) {
        host.ShowMessage(kNoLevels);
        return false;
    }
    if (!CheckSizeLimits(input, 16000, host)) return false;
    if (!IsPowerOfTwo(input.width) || !IsPowerOfTwo(input.height)) {
        host.ShowMessage("The image size of " + std::to_string(input.width) + "*" +
                         std::to_string(input.height) +
                         " is not supported. \r\nBoth image width and height should be the power "
                         "of 2, e.g., 512, 1024. ");
        return false;
    }
    return CheckMaximumLevel(job.levels, input, 4, host);
}

void WriteSpecifications(const HaarJob& job, RunLog& log)
{
    log.Append("(b) Specifications:\r\n");
    log.Append("Down-sampling level(s): \t" + std::to_string(job.levels) + "\r\n");
    if (job.waveletIndex == 0) log.Append("Selected Wavelet:\t\tHaar\r\n");
    log.Append(job.form == HaarForm::Half ? "Haar wavelet coefficent form:\t1/2\r\n\r\n"
                                          : "Haar wavelet coefficent form:\t1/sqrt(2)\r\n\r\n");
    log.Append("(c) Output Image Name:\r\n");
    log.Append("Image:\t\t" + job.outputImagePath + "\r\n");
    log.Append("24-bit BMP:\t" + job.bmpPath + "\r\n\r\n");
}

// Creates the float raster at its full length; false after the message.
bool CreateRaster(RawFile& raster, const std::string& path, std::int64_t bytes, Host& host)
{
    static const char kLastByte = 0;
    if (!raster.CreateForReadWrite(path) ||
        (bytes > 0 && !raster.WriteAt(bytes - 1, 1, &kLastByte))) {
        ShowWriteFailure(host);
        return false;
    }
    return true;
}

struct MinMax {
    double minimum = DBL_MAX;
    double maximum = -DBL_MAX;
    void Take(double value)
    {
        if (value <= minimum) minimum = value;
        if (value >= maximum) maximum = value;
    }
};

MinMax FindMinMax(const std::vector<float>& values)
{
    MinMax range;
    for (const float value : values) range.Take(value);
    return range;
}

// The levels of one run. The working image X (the band, later the picture values) keeps its
// row stride W throughout; the approximations carried from level to level are 32-bit integers,
// so that deep levels of bright data keep their values.
class HaarDecomposition {
public:
    HaarDecomposition(const HaarJob& job, std::vector<std::int16_t>& image, const RawFile& raster,
                      RunProgress& progress, Host& host)
        : m_job(job),
          m_width(job.input.width),
          m_height(job.input.height),
          m_image(image),
          m_raster(raster),
          m_counter(progress, ProgressTotal()),
          m_progress(progress),
          m_factor(job.form == HaarForm::Half ? 0.5f : kInverseSqrt2),
          m_host(host)
    {
    }

    RunOutcome Run();

private:
    std::int64_t ProgressTotal() const;
    RunOutcome Level(int k);
    bool ComputeCoefficients(int k, std::int64_t sourceStride);
    RunOutcome WriteSubband(const std::vector<float>& subband, int quadrant, const MinMax& range);
    bool Cancelled() const { return m_host.IsCancelled() || m_progress.IsCancelled(); }

    const HaarJob& m_job;
    const int m_width;
    const int m_height;
    std::vector<std::int16_t>& m_image;
    const RawFile& m_raster;
    ProgressCounter m_counter;
    RunProgress& m_progress;
    const float m_factor;
    Host& m_host;
    std::vector<std::int32_t> m_approximation;  // level k's, row stride m_levelWidth
    std::array<std::vector<float>, 4> m_subbands;
    int m_levelWidth = 0;  // W_k
    int m_levelHeight = 0;
};

std::int64_t HaarDecomposition::ProgressTotal() const
{
    const double samples = static_cast<double>(m_width) * m_height;
    std::int64_t total = 0;
    for (int k = 1; k <= m_job.levels; ++k)
        total += static_cast<std::int64_t>(samples / std::pow(4.0, k));
    return total;
}

RunOutcome HaarDecomposition::Run()
{
    m_levelWidth = m_width;
    m_levelHeight = m_height;
    for (int k = 1; k <= m_job.levels; ++k) {
        const RunOutcome outcome = Level(k);
        if (outcome != RunOutcome::Finished) return outcome;
    }
    return RunOutcome::Finished;
}

RunOutcome HaarDecomposition::Level(int k)
{
    const int sourceWidth = m_levelWidth;
    m_levelWidth = TruncToInt(m_levelWidth * 0.5);
    m_levelHeight = TruncToInt(m_levelHeight * 0.5);
    const std::int64_t count = static_cast<std::int64_t>(m_levelWidth) * m_levelHeight;
    for (auto& subband : m_subbands) {
        if (!TryAllocate(subband, count, m_host)) return RunOutcome::Stopped;
    }
    if (k == 1 && m_job.levels > 1 && !TryAllocate(m_approximation, count, m_host)) {
        return RunOutcome::Stopped;
    }
    if (!ComputeCoefficients(k, sourceWidth)) return RunOutcome::Cancelled;

    const MinMax approximationRange = FindMinMax(m_subbands[0]);
    if (k == m_job.levels) {
        m_host.PumpPendingMessages();
        const RunOutcome written = WriteSubband(m_subbands[0], 1, approximationRange);
        if (written != RunOutcome::Finished) return written;
    } else {
        for (std::int64_t i = 0; i < count; ++i) {
            m_approximation[static_cast<std::size_t>(i)] =
                TruncToInt(m_subbands[0][static_cast<std::size_t>(i)]);
        }
    }
    for (int detail = 1; detail <= 3; ++detail) {
        m_host.PumpPendingMessages();
        const MinMax range = FindMinMax(m_subbands[detail]);
        m_host.PumpPendingMessages();
        const RunOutcome written = WriteSubband(m_subbands[detail], detail + 1, range);
        if (written != RunOutcome::Finished) return written;
    }
    for (auto& subband : m_subbands) std::vector<float>().swap(subband);
    return RunOutcome::Finished;
}

// One progress unit per coefficient position; false when cancelled. Level 1 reads the band in
// the working image, later levels the approximation of the level before.
bool HaarDecomposition::ComputeCoefficients(int k, std::int64_t sourceStride)
{
    const std::int64_t w = m_levelWidth;
    const auto sample = [&](std::int64_t line, std::int64_t column) -> std::int64_t {
        const std::int64_t at = line * sourceStride + column;
        return k == 1 ? m_image[static_cast<std::size_t>(at)]
                      : m_approximation[static_cast<std::size_t>(at)];
    };
    for (std::int64_t i = 0; i < m_levelHeight; ++i) {
        for (std::int64_t j = 0; j < w; ++j) {
            if (!m_counter.Advance()) return false;
            const HaarCoefficients c =
                HaarBlock(sample(2 * i, 2 * j), sample(2 * i, 2 * j + 1), sample(2 * i + 1, 2 * j),
                          sample(2 * i + 1, 2 * j + 1), m_factor);
            const auto at = static_cast<std::size_t>(i * w + j);
            m_subbands[0][at] = c.approximation;
            m_subbands[1][at] = c.detail1;
            m_subbands[2][at] = c.detail2;
            m_subbands[3][at] = c.detail3;
        }
    }
    return true;
}

// Writes one sub-band into its quadrant of the raster, line by line, and its picture values,
// stretched from its own minimum (0) to its own maximum (255), into the working image. A large
// band takes a while: a cancel is taken before each line.
RunOutcome HaarDecomposition::WriteSubband(const std::vector<float>& subband, int quadrant,
                                           const MinMax& range)
{
    const std::int64_t originLine = quadrant >= 3 ? m_levelHeight : 0;
    const std::int64_t originColumn = quadrant == 2 || quadrant == 4 ? m_levelWidth : 0;
    const double spread = range.maximum - range.minimum;
    for (std::int64_t i = 0; i < m_levelHeight; ++i) {
        m_host.PumpPendingMessages();
        if (Cancelled()) return RunOutcome::Cancelled;
        const float* line = subband.data() + i * m_levelWidth;
        const std::int64_t cell = (originLine + i) * m_width + originColumn;
        if (!m_raster.WriteAt(4 * cell, 4 * static_cast<std::int64_t>(m_levelWidth), line)) {
            ShowWriteFailure(m_host);
            return RunOutcome::Stopped;
        }
        std::int16_t* picture = m_image.data() + cell;
        for (std::int64_t j = 0; j < m_levelWidth; ++j) {
            picture[j] = spread == 0.0 ? std::int16_t{0}
                                       : TruncToInt16((line[j] - range.minimum) * 255 / spread);
        }
    }
    return RunOutcome::Finished;
}

// Fills the working image with the band (8-bit samples zero-extended). False after a message.
bool ReadWorkingImage(const AssessInput& input, SampleKind kind, std::vector<std::int16_t>& image,
                      Host& host)
{
    if (!TryAllocate(image, SampleCount(input), host)) return false;
    if (kind == SampleKind::Bits16) return ReadAssessBand(input, kind, image.data(), host);
    std::vector<std::uint8_t> band;
    if (!TryAllocate(band, SampleCount(input), host) ||
        !ReadAssessBand(input, kind, band.data(), host)) {
        return false;
    }
    for (std::size_t i = 0; i < band.size(); ++i) image[i] = band[i];
    return true;
}

// The minimum and maximum of the whole raster as written, read back a block at a time.
MinMax RasterRange(const RawFile& raster, std::int64_t values)
{
    constexpr std::int64_t kBlock = std::int64_t{1} << 20;
    std::vector<float> block(static_cast<std::size_t>(std::min(values, kBlock)));
    MinMax range;
    for (std::int64_t first = 0; first < values; first += kBlock) {
        const std::int64_t count = std::min(kBlock, values - first);
        const std::int64_t got = raster.ReadAt(4 * first, 4 * count, block.data()) / 4;
        for (std::int64_t i = 0; i < got; ++i) range.Take(block[static_cast<std::size_t>(i)]);
    }
    return range;
}

void WriteHaarHeader(const HaarJob& job, const RawFile& raster, Host& host)
{
    const AssessInput& input = job.input;
    if (input.extension == "img") {
        WriteEnviHaarHeader(job.inputHeaderPath, job.outputHeaderPath, input.inputName, input.width,
                            input.height, host);
    } else if (input.extension == "rst") {
        const MinMax range = RasterRange(raster, SampleCount(input));
        WriteIdrisiHaarHeader(job.inputHeaderPath, input.inputPath, range.minimum, range.maximum,
                              job.outputHeaderPath, host);
    }
}

// Steps from the raster's creation to the end of the run. The raster, the picture and the
// header are written under names of the run's own and renamed into place when the run
// finishes; otherwise they are deleted.
RunOutcome DecomposeAndWrite(const HaarJob& job, SampleKind kind, RunLog& log, Host& host)
{
    RunFiles files;
    HaarJob staged = job;
    staged.outputImagePath = files.StageOutput(job.outputImagePath);
    RawFile raster;
    if (!CreateRaster(raster, staged.outputImagePath, 4 * SampleCount(job.input), host)) {
        log.Append(kAssessUnsuccessful);
        return RunOutcome::Stopped;
    }
    std::unique_ptr<RunProgress> progress = OpenAssessProgress(host);
    std::vector<std::int16_t> image;
    if (!ReadWorkingImage(job.input, kind, image, host)) {
        log.Append(kAssessUnsuccessful);
        return RunOutcome::Stopped;
    }
    StartAssessProgress(*progress);
    const RunOutcome outcome = HaarDecomposition(job, image, raster, *progress, host).Run();
    if (outcome != RunOutcome::Finished) {
        log.Append(outcome == RunOutcome::Cancelled ? kAssessCancelled : kAssessUnsuccessful);
        return outcome;
    }
    progress->SetPosition(0);
    progress.reset();
    staged.bmpPath = files.StageOutput(job.bmpPath);
    if (!job.outputHeaderPath.empty())
        staged.outputHeaderPath = files.StageOutput(job.outputHeaderPath);
    WriteBmp24(job.input.width, job.input.height, image.data(), staged.bmpPath, 0, host);
    WriteHaarHeader(staged, raster, host);
    if (!raster.Close() || !files.Commit()) {
        ShowWriteFailure(host);
        log.Append(kAssessUnsuccessful);
        return RunOutcome::Stopped;
    }
    // The picture lies on the input's grid: it takes the input's place on the ground.
    WriteWorldFilesFromInput(job.bmpPath, job.input.inputPath);
    log.Append(kAssessFinished);
    return RunOutcome::Finished;
}

}  // namespace

HaarCoefficients HaarBlock(std::int64_t a, std::int64_t b, std::int64_t p, std::int64_t q, float f)
{
    return {static_cast<float>(a + b + p + q) * f, static_cast<float>(a - b + p - q) * f,
            static_cast<float>(a + b - p - q) * f, static_cast<float>(a - b - p + q) * f};
}

RunOutcome ComputeHaarTransform(HaarJob& job, RunCounters& counters, Host& host)
{
    WaitCursorScope busy(host);
    if (!ValidateHaarJob(job, host)) return RunOutcome::Stopped;
    RunLog log(counters, host);
    const std::int32_t number = log.OpenBlock(Tool::HaarWavelet);
    log.Append("******* Multi-Resolution Haar Wavelet Transforms (" + std::to_string(number) +
               ") **********\r\n\r\n");
    const std::optional<SampleKind> kind = WriteInputSection(job.input, log, host);
    if (!kind) return RunOutcome::Stopped;
    WriteSpecifications(job, log);
    if (!ConfirmAssessOutput(job.bmpPath, job.input, host) ||
        !ConfirmAssessOutput(job.outputImagePath, job.input, host)) {
        log.Append(kAssessUnsuccessful);
        return RunOutcome::Stopped;
    }
    return DecomposeAndWrite(job, *kind, log, host);
}

}  // namespace lumesta
