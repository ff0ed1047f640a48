#include "fusion/outputs/band_result.h"

#include <algorithm>
#include <cstdint>
#include <memory>

#include "raster/file_name.h"
#include "raster/image_open.h"
#include "raster/picture_source.h"
#include "raster/raw_file.h"
#include "raster/raster_source.h"
#include "raster/world_file.h"

namespace lumesta {

BandFileFormat FormatByName(const std::string& path)
{
    const std::string lower = LastFourLower(path);
    if (lower == ".tif") return BandFileFormat::GeoTiff;
    if (path.size() >= 5) {
        std::string tail = path.substr(path.size() - 5);
        std::transform(tail.begin(), tail.end(), tail.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (tail == ".tiff") return BandFileFormat::GeoTiff;
    }
    return BandFileFormat::Envi;
}

namespace {

constexpr int kStripRows = 256;

// The pan's sample type as the per-band results declare it: UInt16 for a UInt16 pan, else the
// tool's signed 16-bit samples.
SampleType PanSampleType(const std::string& panPath, int width, int height)
{
    std::string error;
    MatrixSize matrix;
    matrix.width = width;
    matrix.height = height;
    const std::unique_ptr<RasterSource> pan = OpenRaster(panPath, matrix, error);
    return pan && pan->Description().type == SampleType::UInt16 ? SampleType::UInt16
                                                                : SampleType::Int16;
}

}  // namespace

bool NameBandResult(const PanSharpenJob& job, std::optional<BandResult>& result, Host& host)
{
    result.reset();
    const DeliveryJob& asked = job.delivery;
    if (asked.outputPath.empty() && asked.outputFormat.empty()) return true;
    BandResult named;
    if (!asked.outputFormat.empty()) {
        named.format = *BandFileFormatNamed(asked.outputFormat);
    } else {
        named.format = FormatByName(asked.outputPath);
    }
    const bool envi = named.format == BandFileFormat::Envi;
    named.path = asked.outputPath;
    if (named.path.empty()) {
        named.path = WithoutExtension(job.msPath[kBlue]) + job.suffix + (envi ? ".img" : ".tif");
    }
    if (envi && LastFourLower(named.path) != ".img") {
        host.ShowMessage("An ENVI result is named NAME.img, its header NAME.hdr: " + named.path +
                         " (--format geotiff or cog writes other names).");
        return false;
    }
    named.files = BandFilePaths(named.format, named.path);
    result = named;
    return true;
}

bool TargetsAreNew(const std::vector<std::string>& targets,
                   const std::vector<std::string>& inputs, Host& host)
{
    for (std::size_t t = 0; t < targets.size(); ++t) {
        for (const std::string& input : inputs) {
            if (input.empty()) continue;
            if (SamePath(targets[t], input) || IsSameExistingFile(targets[t], input)) {
                host.ShowMessage(targets[t] +
                                 " is an input of this run.\nChange the name of the result "
                                 "(--output) or of the 24-bit BMP (--bmp).");
                return false;
            }
        }
        for (std::size_t u = 0; u < t; ++u) {
            if (SamePath(targets[t], targets[u])) {
                host.ShowMessage(targets[t] +
                                 " would be written twice.\nChange the name of the 24-bit BMP "
                                 "(--bmp).");
                return false;
            }
        }
    }
    return true;
}

bool BandResultIsNew(const BandResult& result, const std::string& bmp,
                     const std::vector<std::string>& inputs, Host& host)
{
    std::vector<std::string> targets = result.files;
    if (!bmp.empty()) targets.push_back(bmp);
    std::vector<std::string> names;
    for (const std::string& input : inputs) {
        if (input.empty()) continue;
        names.insert(names.end(),
                     {input, WithoutLastFour(input) + ".hdr", WithoutLastFour(input) + ".rdc"});
    }
    return TargetsAreNew(targets, names, host);
}

RunOutcome WriteBandResult(const BandResult& result, const std::vector<std::string>& bandFiles,
                           const std::vector<std::string>& bandNames, const std::string& panPath,
                           int width, int height, std::optional<double> noData, RunFiles& files,
                           const std::function<bool()>& keepGoing, Host& host)
{
    BandFileSpec spec;
    spec.format = result.format;
    spec.width = width;
    spec.height = height;
    spec.bands = static_cast<int>(bandFiles.size());
    spec.type = PanSampleType(panPath, width, height);
    spec.bandNames = bandNames;
    spec.geo = ReadInputGeoreference(panPath);
    spec.noData = noData;
    std::unique_ptr<BandFileWriter> writer =
        OpenStagedBandFileWriter(spec, result.path, files, host);
    if (!writer) return RunOutcome::Stopped;

    std::vector<RawFile> bands(bandFiles.size());
    for (std::size_t b = 0; b < bandFiles.size(); ++b) {
        if (!bands[b].OpenForReading(bandFiles[b])) {
            host.ShowMessage("Cannot read " + bandFiles[b] + ".");
            return RunOutcome::Stopped;
        }
    }
    const std::int64_t rowBytes = static_cast<std::int64_t>(width) * 2;
    std::vector<std::vector<std::uint16_t>> strips(
        bands.size(), std::vector<std::uint16_t>(static_cast<std::size_t>(width) * kStripRows));
    std::vector<const std::uint16_t*> unsignedRows(bands.size());
    std::vector<const std::int16_t*> signedRows(bands.size());
    for (int row = 0; row < height; row += kStripRows) {
        if (!keepGoing()) return RunOutcome::Cancelled;
        const int rows = std::min(kStripRows, height - row);
        for (std::size_t b = 0; b < bands.size(); ++b) {
            if (bands[b].ReadAt(row * rowBytes, rows * rowBytes, strips[b].data()) !=
                rows * rowBytes) {
                host.ShowMessage("Cannot read " + bandFiles[b] + ".");
                return RunOutcome::Stopped;
            }
            unsignedRows[b] = strips[b].data();
            signedRows[b] = reinterpret_cast<const std::int16_t*>(strips[b].data());
        }
        const bool written = spec.type == SampleType::UInt16
                                 ? writer->WriteRows(unsignedRows.data(), rows)
                                 : writer->WriteRows(signedRows.data(), rows);
        if (!written) return RunOutcome::Stopped;
    }
    return writer->Finish(keepGoing);
}

}  // namespace lumesta
