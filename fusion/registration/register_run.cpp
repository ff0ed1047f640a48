#include "fusion/registration/register_run.h"

#include <algorithm>
#include <charconv>
#include <ctime>
#include <memory>
#include <optional>

#include "imaging/interpolator23.h"
#include "imaging/sensor_gains.h"
#include "raster/image_open.h"
#include "raster/placement.h"

namespace lumesta {
namespace {

constexpr int kMinBands = 3;
constexpr int kMaxBands = 16;
const std::string kCancelled = "\r\nCancelled\r\n\r\n";
const std::string kUnsuccessful = "\r\nUnsuccessful\r\n";

std::unique_ptr<RasterSource> OpenInput(const std::string& path, Host& host)
{
    if (NeedsMatrixSize(path)) {
        host.ShowMessage(path +
                         " has no header: register reads ENVI, Idrisi32, GeoTIFF and the images GDAL "
                         "reads.");
        return nullptr;
    }
    std::string error;
    auto source = OpenRaster(path, MatrixSize{}, error);
    if (!source) host.ShowMessage(error);
    return source;
}

std::unique_ptr<RasterSource> OpenPan(const std::string& path, Host& host)
{
    auto pan = OpenInput(path, host);
    if (pan && pan->Description().bands != 1) {
        host.ShowMessage("The pan " + path + " holds " + std::to_string(pan->Description().bands) +
                         " bands: give a single-band pan.");
        return nullptr;
    }
    return pan;
}

std::unique_ptr<RasterSource> OpenMs(const std::vector<std::string>& paths, Host& host)
{
    std::vector<std::unique_ptr<RasterSource>> parts;
    for (const std::string& path : paths) {
        auto part = OpenInput(path, host);
        if (!part) return nullptr;
        const RasterDescription& d = part->Description();
        if (paths.size() > 1 && d.bands != 1) {
            host.ShowMessage(path + " holds " + std::to_string(d.bands) +
                             " bands: give one multi-band file or single-band files.");
            return nullptr;
        }
        if (!parts.empty() && (d.width != parts[0]->Description().width ||
                               d.height != parts[0]->Description().height)) {
            host.ShowMessage("The MS bands differ in size.");
            return nullptr;
        }
        parts.push_back(std::move(part));
    }
    auto ms = parts.size() == 1 ? std::move(parts[0]) : StackSources(std::move(parts), "MS");
    const int bands = ms->Description().bands;
    if (bands < kMinBands || bands > kMaxBands) {
        host.ShowMessage("The MS has " + std::to_string(bands) + " bands; registration takes " +
                         std::to_string(kMinBands) + " to " + std::to_string(kMaxBands) + ".");
        return nullptr;
    }
    return ms;
}

// Which pixels of an input are no data: the per-input choice wins over the one for both; without
// either, the file's own declaration (its no-data value, GDAL's masks).
Validity ValidityOf(const NoDataChoice& own, const NoDataChoice& both)
{
    const NoDataChoice& choice = own.given ? own : both;
    if (choice.given) {
        return Validity{choice.none ? std::nullopt : std::optional<double>(choice.value), false};
    }
    return Validity{std::nullopt, true};
}

// The shortest decimal that reads back as value (JSON).
std::string JsonNumber(double value)
{
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

std::string JsonText(const std::string& text)
{
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

std::string Padded(std::string text, std::size_t width)
{
    if (text.size() < width) text.resize(width, ' ');
    return text;
}

std::string TextFormat(const RegistrationEstimate& estimate)
{
    std::string text = "dx          " + DecimalText(estimate.dx) + "\n" + "dy          " +
                       DecimalText(estimate.dy) + "\n" + "confidence  " +
                       DecimalText(estimate.confidence) + "\n";
    if (!estimate.applicable) text += "not applied: " + estimate.reason + "\n";
    if (estimate.blocks.empty()) return text;
    text += "\nrow  column  dx      dy      confidence\n";
    for (const BlockOffset& block : estimate.blocks) {
        text += Padded(std::to_string(block.row), 5) + Padded(std::to_string(block.column), 8) +
                Padded(DecimalText(block.dx), 8) + Padded(DecimalText(block.dy), 8) +
                DecimalText(block.confidence) + "\n";
    }
    return text;
}

std::string JsonFormat(const RegistrationEstimate& estimate)
{
    std::string text = "{\"dx\": " + JsonNumber(estimate.dx) +
                       ", \"dy\": " + JsonNumber(estimate.dy) +
                       ", \"confidence\": " + JsonNumber(estimate.confidence) +
                       ", \"applied\": " + (estimate.applicable ? "true" : "false");
    if (!estimate.applicable) text += ", \"reason\": " + JsonText(estimate.reason);
    text += ", \"blocks\": [";
    for (std::size_t i = 0; i < estimate.blocks.size(); ++i) {
        const BlockOffset& block = estimate.blocks[i];
        text += std::string(i > 0 ? ", " : "") + "{\"row\": " + std::to_string(block.row) +
                ", \"column\": " + std::to_string(block.column) +
                ", \"dx\": " + JsonNumber(block.dx) + ", \"dy\": " + JsonNumber(block.dy) +
                ", \"confidence\": " + JsonNumber(block.confidence) + "}";
    }
    return text + "]}\n";
}

// The inputs of a run, opened and checked, and the MS's place on the pan.
struct OpenedInputs {
    std::unique_ptr<RasterSource> pan;
    std::unique_ptr<RasterSource> ms;
    std::optional<SensorGains> sensor;
    MsPlacement placement;
};

// Checks the ratio and the sensor, opens the pan and the MS and places the MS on the pan. False
// after the message.
bool OpenInputs(const RegisterJob& job, Host& host, OpenedInputs& opened)
{
    if (job.ratio != 0 && !IsPowerOfTwo(job.ratio)) {
        host.ShowMessage("The ratio " + std::to_string(job.ratio) +
                         " is not a power of two (2, 4, 8, ...).");
        return false;
    }
    const auto& sensors = KnownSensors();
    if (std::none_of(sensors.begin(), sensors.end(),
                     [&job](const SensorGains& row) { return job.sensor == row.name; })) {
        host.ShowMessage("Unknown sensor " + job.sensor + " (known: " + SensorNames() + ").");
        return false;
    }
    opened.pan = OpenPan(job.pan, host);
    if (!opened.pan) return false;
    opened.ms = OpenMs(job.ms, host);
    if (!opened.ms) return false;
    opened.sensor = SensorForBands(job.sensor, opened.ms->Description().bands, host);
    if (!opened.sensor) return false;
    std::string error;
    if (!PlaceMsOnPan(opened.pan->Description(), opened.ms->Description(), job.ratio,
                      opened.placement, error)) {
        host.ShowMessage(error);
        return false;
    }
    return true;
}

RunOutcome Estimate(const RegisterJob& job, const OpenedInputs& opened, Host& host,
                    RegistrationEstimate& estimate)
{
    RegistrationInputs inputs;
    inputs.pan = {opened.pan.get(), 0};
    for (int band = 0; band < opened.ms->Description().bands; ++band)
        inputs.ms.push_back({opened.ms.get(), band});
    inputs.ratio = opened.placement.ratio;
    inputs.placementX = opened.placement.offsetX;
    inputs.placementY = opened.placement.offsetY;
    inputs.msGains.assign(opened.sensor->ms.begin(), opened.sensor->ms.end());
    const Validity panRule = ValidityOf(job.panNoData, job.noData);
    const Validity msRule = ValidityOf(job.msNoData, job.noData);
    inputs.panNoData = panRule.noData;
    inputs.panOwnMask = panRule.ownMask;
    inputs.msNoData = msRule.noData;
    inputs.msOwnMask = msRule.ownMask;
    inputs.grid = job.grid;
    inputs.cancelled = [&host] { return host.IsCancelled(); };
    std::string error;
    const auto estimated = EstimateRegistration(inputs, error);
    if (!estimated) {
        if (error.empty()) return RunOutcome::Cancelled;
        host.ShowMessage(error);
        return RunOutcome::Stopped;
    }
    estimate = *estimated;
    return RunOutcome::Finished;
}

// The report block's opening: banner and inputs. ratio: 0 when neither given nor known yet.
void WriteReportHead(const RegisterJob& job, int ratio, RunLog& log)
{
    const std::int32_t number = log.OpenBlock(Tool::Registration);
    log.Append("_____________ Registration Run (" + std::to_string(number) +
               ") _____________________\r\n\r\n");
    log.Append("(a) Inputs\r\n");
    log.Append("    Pan:\t" + job.pan + "\r\n");
    for (const std::string& path : job.ms) log.Append("    MS:\t" + path + "\r\n");
    if (ratio != 0) log.Append("    Ratio:\t" + std::to_string(ratio) + "\r\n");
    log.Append("    Sensor:\t" + job.sensor + "\r\n");
    if (job.grid > 0) log.Append("    Grid:\t" + std::to_string(job.grid) + "\r\n");
}

void WriteReportEnd(const RegistrationEstimate& estimate, std::time_t start, RunLog& log)
{
    log.Append("\r\n(b) Result\r\n");
    log.AppendLines(TextFormat(estimate));
    log.AppendTimesAndFinish("(c)", start);
}

}  // namespace

RunOutcome RunRegister(const RegisterJob& job, Host& host, RegistrationEstimate& estimate)
{
    OpenedInputs opened;
    if (!OpenInputs(job, host, opened)) return RunOutcome::Stopped;
    return Estimate(job, opened, host, estimate);
}

RunOutcome RunRegisterWithReport(const RegisterJob& job, RunCounters& counters, Host& host,
                                 RegistrationEstimate& estimate)
{
    RunLog log(counters, host);
    const std::time_t start = std::time(nullptr);
    OpenedInputs opened;
    const bool ready = OpenInputs(job, host, opened);
    // The inputs' own ratio once the MS is placed; a run stopped before that shows the given one.
    WriteReportHead(job, ready ? opened.placement.ratio : job.ratio, log);
    const RunOutcome outcome = ready ? Estimate(job, opened, host, estimate) : RunOutcome::Stopped;
    if (outcome == RunOutcome::Cancelled) {
        log.Append(kCancelled);
    } else if (outcome == RunOutcome::Stopped) {
        log.Append(kUnsuccessful);
    } else {
        WriteReportEnd(estimate, start, log);
    }
    return outcome;
}

std::string FormatRegistration(const RegistrationEstimate& estimate, RegisterFormat format)
{
    return format == RegisterFormat::Json ? JsonFormat(estimate) : TextFormat(estimate);
}

}  // namespace lumesta
