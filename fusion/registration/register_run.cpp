#include "fusion/registration/register_run.h"

#include <algorithm>
#include <charconv>
#include <memory>

#include "imaging/interpolator23.h"
#include "imaging/sensor_gains.h"
#include "raster/image_open.h"
#include "raster/placement.h"

namespace lumesta {
namespace {

constexpr int kMinBands = 3;
constexpr int kMaxBands = 16;

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

}  // namespace

RunOutcome RunRegister(const RegisterJob& job, Host& host, RegistrationEstimate& estimate)
{
    if (job.ratio != 0 && !IsPowerOfTwo(job.ratio)) {
        host.ShowMessage("The ratio " + std::to_string(job.ratio) +
                         " is not a power of two (2, 4, 8, ...).");
        return RunOutcome::Stopped;
    }
    const auto& sensors = KnownSensors();
    if (std::none_of(sensors.begin(), sensors.end(),
                     [&job](const SensorGains& row) { return job.sensor == row.name; })) {
        host.ShowMessage("Unknown sensor " + job.sensor + " (known: " + SensorNames() + ").");
        return RunOutcome::Stopped;
    }
    const auto pan = OpenPan(job.pan, host);
    if (!pan) return RunOutcome::Stopped;
    const auto ms = OpenMs(job.ms, host);
    if (!ms) return RunOutcome::Stopped;
    const auto sensor = SensorForBands(job.sensor, ms->Description().bands, host);
    if (!sensor) return RunOutcome::Stopped;
    MsPlacement placement;
    std::string error;
    if (!PlaceMsOnPan(pan->Description(), ms->Description(), job.ratio, placement, error)) {
        host.ShowMessage(error);
        return RunOutcome::Stopped;
    }
    RegistrationInputs inputs;
    inputs.pan = {pan.get(), 0};
    for (int band = 0; band < ms->Description().bands; ++band)
        inputs.ms.push_back({ms.get(), band});
    inputs.ratio = placement.ratio;
    inputs.placementX = placement.offsetX;
    inputs.placementY = placement.offsetY;
    inputs.msGains.assign(sensor->ms.begin(), sensor->ms.end());
    const Validity panRule = ValidityOf(job.panNoData, job.noData);
    const Validity msRule = ValidityOf(job.msNoData, job.noData);
    inputs.panNoData = panRule.noData;
    inputs.panOwnMask = panRule.ownMask;
    inputs.msNoData = msRule.noData;
    inputs.msOwnMask = msRule.ownMask;
    inputs.grid = job.grid;
    inputs.cancelled = [&host] { return host.IsCancelled(); };
    const auto estimated = EstimateRegistration(inputs, error);
    if (!estimated) {
        if (error.empty()) return RunOutcome::Cancelled;
        host.ShowMessage(error);
        return RunOutcome::Stopped;
    }
    estimate = *estimated;
    return RunOutcome::Finished;
}

std::string FormatRegistration(const RegistrationEstimate& estimate, RegisterFormat format)
{
    return format == RegisterFormat::Json ? JsonFormat(estimate) : TextFormat(estimate);
}

}  // namespace lumesta
