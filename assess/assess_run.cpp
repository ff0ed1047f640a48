#include "assess/assess_run.h"

#include <algorithm>
#include <cmath>

#include "core/confirm_overwrite.h"
#include "core/run_steps.h"
#include "core/truncate.h"
#include "raster/band_io.h"
#include "raster/file_name.h"
#include "raster/gdal/gdal_source.h"

namespace lumesta {

bool CheckFileNamesGiven(bool allGiven, Host& host)
{
    static const char kNoNames[] = "Please input file names";
    if (!allGiven) host.ShowMessage(kNoNames);
    return allGiven;
}

bool CheckSizeGiven(const AssessInput& input, Host& host)
{
    static const char kNoSize[] = "Please input width and height.";
    if (input.width != 0 && input.height != 0) return true;
    host.ShowMessage(kNoSize);
    return false;
}

bool CheckSizeLimits(const AssessInput& input, int maximumSide, Host& host)
{
    static const char kTooSmall[] = "Image size is too small; the minimum size is 32*32.";
    static const char kTooBig[] =
        "Image size is too big; If you wish to have this limit relaxed, please contact developer.";
    if (input.width < 32 && input.height < 32) {
        host.ShowMessage(kTooSmall);
        return false;
    }
    if (input.width > maximumSide && input.height > maximumSide) {
        host.ShowMessage(kTooBig);
        return false;
    }
    return true;
}

int MaximumPyramidLevel(int width, int height, int subtract)
{
    const int side = width < height ? width : height;
    int e = 0;
    while (std::pow(2.0, e) < side) ++e;
    return e - subtract;
}

bool CheckMaximumLevel(int level, const AssessInput& input, int subtract, Host& host)
{
    const int maximum = MaximumPyramidLevel(input.width, input.height, subtract);
    if (level <= maximum) return true;
    host.ShowMessage(" The maximum level you can select for this image is " +
                     std::to_string(maximum) + ".");
    return false;
}

bool CheckNotAnInput(const std::string& output, const AssessInput& input, Host& host)
{
    const std::string base = WithoutLastFour(input.inputPath);
    for (const std::string& name : {input.inputPath, base + ".hdr", base + ".rdc"}) {
        if (SamePath(output, name)) {
            host.ShowMessage(output + " is an input of this run.\nChange the name of the output file.");
            return false;
        }
    }
    return true;
}

bool ConfirmAssessOutput(const std::string& output, const AssessInput& input, Host& host)
{
    return CheckNotAnInput(output, input, host) && ConfirmOverwrite(output, host);
}

std::optional<SampleKind> WriteInputSection(const AssessInput& input, RunLog& log, Host& host)
{
    static const char kWrongFileSize[] = "Check the file size of the input image.";
    log.Append("(a) Input Image Name:\r\n");
    if (IsBandOfMultiBandFile(input)) {
        log.Append("Input:\t\t" + input.inputPath + " (" + input.inputName + ")\r\n");
    } else {
        log.Append("Input:\t\t" + input.inputPath + "\r\n");
    }
    log.Append("Width:\t\t" + std::to_string(input.width) + " pixels\r\n");
    log.Append("Height:\t\t" + std::to_string(input.height) + " pixels\r\n");
    const std::int64_t samples = SampleCount(input);
    log.Append("Image Size:\t" + std::to_string(samples) + " pixels\r\n");
    const std::int64_t fileSize = GetDataBlockLength(input.inputPath, host);
    const std::string fileSizeLine = "File Size:\t" + std::to_string(fileSize) + " bytes\r\n\r\n";
    if (input.gdal) {
        // GDAL decodes the samples: their type decides, whatever the file's size.
        log.Append(fileSizeLine);
        return input.dataType == 1 ? SampleKind::Bits8 : SampleKind::Bits16;
    }
    if (IsMultiBandEnvi(input)) {
        // The file must hold every band its header declares, as a single band's file must
        // hold that band: otherwise the chosen band may lie partly or wholly beyond its end.
        const SampleKind kind = input.dataType == 1 ? SampleKind::Bits8 : SampleKind::Bits16;
        const std::int64_t bytesPerSample = kind == SampleKind::Bits8 ? 1 : 2;
        if (fileSize == input.bandCount * samples * bytesPerSample) {
            log.Append(fileSizeLine);
            return kind;
        }
    } else if (fileSize == 2 * samples) {
        log.Append(fileSizeLine);
        return SampleKind::Bits16;
    } else if (fileSize == samples) {
        log.Append(fileSizeLine);
        return SampleKind::Bits8;
    }
    host.ShowMessage(kWrongFileSize);
    log.Append(kAssessUnsuccessful);  // the block still gets its closing line
    return std::nullopt;
}

std::optional<SampleKind> OpenAssessReport(Tool tool, const char* bannerStart,
                                           const char* bannerEnd, const AssessInput& input,
                                           RunLog& log, Host& host)
{
    const std::int32_t number = log.OpenBlock(tool);
    log.Append(bannerStart + std::to_string(number) + bannerEnd);
    return WriteInputSection(input, log, host);
}

AssessBandStrips::AssessBandStrips(const AssessInput& input, SampleKind kind)
    : m_input(input),
      m_bytesPerSample(kind == SampleKind::Bits16 ? 2 : 1),
      m_firstByte(IsMultiBandEnvi(input)
                      ? static_cast<std::int64_t>(input.bandIndex) * SampleCount(input) *
                            m_bytesPerSample
                      : 0)
{
}

bool AssessBandStrips::Open(Host& host)
{
    static const char kCannotOpenPart[] = "Error: Integer/Binary - ReadDataBlockPart";
    static const char kCannotOpen[] = "Error: Integer/Binary - ReadDataBlock()";
    if (m_input.gdal) {
        std::string error;
        m_gdal = OpenGdalSource(m_input.inputPath, error);
        if (m_gdal && m_input.bandIndex < m_gdal->Description().bands) return true;
        host.ShowMessage(m_gdal ? kCannotOpenPart : error);
        m_gdal.reset();
        return false;
    }
    if (m_file.OpenForReading(m_input.inputPath)) return true;
    host.ShowMessage(IsMultiBandEnvi(m_input) ? kCannotOpenPart : kCannotOpen);
    return false;
}

int AssessBandStrips::LinesPerStrip() const
{
    constexpr std::int64_t kStripBytes = std::int64_t{4} << 20;
    const std::int64_t lineBytes = std::max<std::int64_t>(1, m_input.width * m_bytesPerSample);
    return static_cast<int>(std::clamp<std::int64_t>(kStripBytes / lineBytes, 1, m_input.height));
}

bool AssessBandStrips::Read(int firstLine, int lineCount, void* buffer, Host& host) const
{
    static const char kLengthProblem[] = "Error! reading an image  file - length problem.";
    if (m_gdal) return ReadThroughGdal(firstLine, lineCount, buffer, host);
    const std::int64_t lineBytes = m_input.width * m_bytesPerSample;
    const std::int64_t bytes = lineBytes * lineCount;
    if (m_file.ReadAt(m_firstByte + lineBytes * firstLine, bytes, buffer) == bytes) return true;
    host.ShowMessage(kLengthProblem);
    return false;
}

// The samples arrive as floats (exact for these types) and are stored as the raw files hold
// them: bytes, or 16-bit words (unsigned ones keep their bits, as a 16-bit raw file gives them).
bool AssessBandStrips::ReadThroughGdal(int firstLine, int lineCount, void* buffer,
                                       Host& host) const
{
    const std::int64_t count = static_cast<std::int64_t>(m_input.width) * lineCount;
    std::vector<float> samples(static_cast<std::size_t>(count));
    const SampleWindow window{0, firstLine, m_input.width, lineCount, 1};
    if (!m_gdal->ReadWindow(m_input.bandIndex, window, samples.data(), nullptr)) {
        host.ShowMessage(m_gdal->ReadError());
        return false;
    }
    const SampleType type = m_gdal->Description().type;
    for (std::int64_t i = 0; i < count; ++i) {
        // A VRT fills its empty areas with its no-data value, whatever the band's type.
        const float read = samples[static_cast<std::size_t>(i)];
        const float value = std::isnan(read) ? 0.0f : read;
        if (m_bytesPerSample == 1) {
            static_cast<std::uint8_t*>(buffer)[i] =
                static_cast<std::uint8_t>(std::clamp(value, 0.0f, 255.0f));
        } else if (type == SampleType::UInt16) {
            static_cast<std::int16_t*>(buffer)[i] = static_cast<std::int16_t>(
                static_cast<std::uint16_t>(std::clamp(value, 0.0f, 65535.0f)));
        } else {
            static_cast<std::int16_t*>(buffer)[i] =
                static_cast<std::int16_t>(std::clamp(value, -32768.0f, 32767.0f));
        }
    }
    return true;
}

std::unique_ptr<RunProgress> OpenAssessProgress(Host& host, const std::string& step)
{
    RunSteps steps(host);
    steps.Add(step, 1);
    steps.Announce();
    steps.Begin(step);
    return host.OpenProgress("Processing ...", ProgressOwner::Window);
}

void StartAssessProgress(RunProgress& progress)
{
    progress.SetRange(0, 100, 1);
    progress.SetStatusText("Press Cancel to stop ...\n\n");
}

int ProgressCounter::PositionAt(std::int64_t count) const
{
    return TruncToInt(static_cast<double>(count) * 100.0 / static_cast<double>(m_total));
}

bool ProgressCounter::AdvanceBy(std::int64_t units)
{
    // The position only changes a hundred times; between changes no arithmetic is needed. The
    // position grows with the count, so the next change is found near its estimate. A batch of
    // units that passes several changes shows each of them in turn.
    const std::int64_t end = m_count + units;
    while (end >= m_nextChange && m_count < end) {
        m_count = std::max(m_count + 1, m_nextChange);
        m_shown = PositionAt(m_count);
        m_progress.SetPosition(m_shown);
        std::int64_t next = m_count + 1;
        if (m_total > 0) {
            next = std::max(next, (m_shown + std::int64_t{1}) * m_total / 100);
            while (next > m_count + 1 && PositionAt(next - 1) > m_shown) --next;
            while (PositionAt(next) <= m_shown) ++next;
        }
        m_nextChange = next;
    }
    m_count = end;
    m_progress.PumpMessages(true);
    return !m_progress.IsCancelled();
}

}  // namespace lumesta
