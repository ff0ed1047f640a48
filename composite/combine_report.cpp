#include "composite/combine_report.h"

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "core/confirm_overwrite.h"
#include "raster/band_io.h"
#include "raster/file_name.h"
#include "raster/image_info.h"

namespace lumesta {
namespace {

constexpr std::int64_t kVeryLargePixels = 67108864;  // 8192 × 8192
constexpr std::int64_t kMinimumSide = 128;
constexpr std::int64_t kMaximumSide = 40000;

std::string Num(std::int64_t value)
{
    return std::to_string(static_cast<long long>(value));
}

bool AnyNotEnviIdrisi(const BandCombinationJob& job)
{
    for (RasterKind kind : job.bandKind) {
        if (kind == RasterKind::GeoTiffOrMatrix) return true;
    }
    return false;
}

bool IsSixteen(const BandCombinationJob& job)
{
    return job.depth == CombineDepth::Sixteen;
}

int ReadHeaderOf(CImageInfo& info, const BandCombinationJob& job, const std::string& path,
                 Host& host)
{
    return IsSixteen(job) ? info.ReadHeader16(path, host) : info.ReadHeader8(path, host);
}

void AppendSizeLines(const CombineRunState& state)
{
    state.log.Append("Width:\t\t\t" + Num(state.width) + " pixels\r\n");
    state.log.Append("Height:\t\t\t" + Num(state.height) + " pixels\r\n");
    state.log.Append("Image Size:\t\t" + Num(state.width * state.height) + " pixels\r\n");
}

void AppendFileSizeLine(const CombineRunState& state, std::int64_t length)
{
    state.log.Append("File Size:\t\t" + Num(length) + " bytes\r\n\r\n");
}

// A multi-band ENVI file: the size from its header, one file length.
bool CheckMultiBandFile(CombineRunState& state)
{
    const BandCombinationJob& job = state.job;
    state.width = job.blueHeaderWidth;
    state.height = job.blueHeaderHeight;
    AppendSizeLines(state);
    const std::int64_t length = GetDataBlockLength(job.bandPath[kCompositeBlue], state.host);
    AppendFileSizeLine(state, length);
    if (!IsSixteen(job) && length != state.BandBytes() * job.inputBands) {
        state.host.ShowMessage("File size does not match with image size and bands.");
        return false;
    }
    return true;
}

// ENVI and Idrisi32 bands: each header must be readable and the widths must agree.
bool CheckBandHeaders(CombineRunState& state)
{
    static const char* const kHeaderFailure[3] = {
        "Blue Band: Check the format of its header file.",
        "Green Band: Check the format of its header file.",
        "Red Band: Check the format of its header file."};
    BandCombinationJob& job = state.job;
    std::array<int, 3> widths{job.blueHeaderWidth, 0, 0};
    const int first = job.inputKind == ".rst" ? kCompositeBlue : kCompositeGreen;
    for (int band = first; band <= kCompositeRed; ++band) {
        CImageInfo header;
        if (ReadHeaderOf(header, job, job.bandPath[band], state.host) == 0) {
            state.host.ShowMessage(kHeaderFailure[band]);
            job.selection[band].clear();
            job.bandLists[band].clear();
            job.selectedIndex[band] = -1;
            return false;
        }
        widths[band] = header.width;
    }
    if (widths[0] != widths[1] || widths[0] != widths[2]) {
        state.host.ShowMessage("Check width/height of all Ms bands.");
        state.log.Append("\r\n");
        return false;
    }
    return true;
}

// Single-band files: equal lengths that match the typed size (GeoTIFF files excepted).
bool CheckBandFiles(CombineRunState& state)
{
    const BandCombinationJob& job = state.job;
    std::array<std::int64_t, 3> lengths{};
    for (int band = kCompositeBlue; band <= kCompositeRed; ++band) {
        lengths[band] = GetDataBlockLength(job.bandPath[band], state.host);
    }
    if (lengths[0] != lengths[1] || lengths[0] != lengths[2]) {
        state.host.ShowMessage("The file size of Ms bands is not the same.");
        return false;
    }
    AppendFileSizeLine(state, lengths[0]);
    if (job.inputKind != ".tif" && lengths[0] != state.BandBytes()) {
        state.host.ShowMessage(IsSixteen(job)
                                   ? "File size does not match with image size (16 bit data)."
                                   : "File size does not match with image size (8-bit data).");
        return false;
    }
    return true;
}

bool CheckSizeLimits(const CombineRunState& state)
{
    if (state.width < kMinimumSide && state.height < kMinimumSide) {
        state.host.ShowMessage("Image size is too small; the minimum size is 128*128.");
        return false;
    }
    if (state.width > kMaximumSide && state.height > kMaximumSide) {
        state.host.ShowMessage(
            "Image size is too big; If you wish to have this limit relaxed, please contact "
            "developer.");
        return false;
    }
    return true;
}

void AppendStretchReport(const StretchParams& stretch, RunLog& log)
{
    static const char* const kCutoffLabels[3] = {
        "\t- Blue: \tleft-side: ", "\t- Green:\tleft-side: ", "\t- Red:  \tleft-side: "};
    static const char* const kNonlinearLabels[3] = {"\t- Blue: \t", "\t- Green: \t",
                                                    "\t- Red: \t\t"};
    log.Append("Stretch:\r\n");
    log.Append("\tHistogram stretching: cutoffs at both sides\r\n");
    for (int band = kCompositeBlue; band <= kCompositeRed; ++band) {
        log.Append(kCutoffLabels[band] + Num(stretch.leftCutoff[band]) + "\t");
        log.Append("right-side: " + Num(stretch.rightCutoff[band]) + "\r\n");
    }
    log.Append("\tNonlinear stretching\r\n");
    for (int band = kCompositeBlue; band <= kCompositeRed; ++band) {
        log.Append(kNonlinearLabels[band] + Num(stretch.nonlinear[band]) + "\r\n");
    }
}

}  // namespace

bool ValidateCombineJob(BandCombinationJob& job, Host& host)
{
    for (const auto& path : job.bandPath) {
        if (path.empty()) {
            host.ShowMessage("Please input images.");
            return false;
        }
    }
    if (job.bmpPath.empty()) {
        host.ShowMessage("Please input images.");
        return false;
    }
    // Negative sizes are as unusable as 0.
    if (job.width <= 0 || job.height <= 0) {
        host.ShowMessage("Please input width and height.");
        return false;
    }
    if (!AnyNotEnviIdrisi(job) &&
        (job.bandExt[0] != job.bandExt[1] || job.bandExt[0] != job.bandExt[2])) {
        host.ShowMessage(
            "Pan and Ms image types are not the same, as identified by file extensions");
        return false;
    }
    if (job.inputKind != ".tif" && job.displayBmp &&
        static_cast<std::int64_t>(job.width) * job.height > kVeryLargePixels &&
        host.AskYesNo("Input images are very large. Do you wish to disable the automatic display "
                      "of 24-bit BMP?")) {
        job.displayBmp = false;
    }
    return true;
}

void WriteCombineInputLines(CombineRunState& state)
{
    static const char* const kLabels[3] = {"Blue:\t", "Green:\t", "Red:\t"};
    const BandCombinationJob& job = state.job;
    const std::int32_t number = state.log.OpenBlock(Tool::BandCombination);
    const char* const closing =
        IsSixteen(job) ? ") ++++++++++++++++++++\r\n\r\n" : ") +++++++++++++++++++++\r\n\r\n";
    state.log.Append("+++++++++++++++ Band Combination (" + Num(number) + closing);
    state.log.Append("(a) Input RGB Bands:\r\n");
    for (int band = kCompositeBlue; band <= kCompositeRed; ++band) {
        std::string line = kLabels[band] + job.bandPath[band];
        if (HasMultiBandInput(job)) line += " (" + job.selection[band] + ")";
        state.log.Append(line + "\r\n");
    }
}

bool WriteCombineSizeSection(CombineRunState& state)
{
    const BandCombinationJob& job = state.job;
    if (job.inputKind == ".img" && HasMultiBandInput(job)) {
        if (!CheckMultiBandFile(state)) return false;
    } else {
        state.width = job.width;
        state.height = job.height;
        if (!AnyNotEnviIdrisi(job) && !CheckBandHeaders(state)) return false;
        AppendSizeLines(state);
        if (!CheckBandFiles(state)) return false;
    }
    return CheckSizeLimits(state);
}

void WriteCombineOutputSection(const BandCombinationJob& job, RunLog& log)
{
    log.Append("(b) Output Colour Image:\r\n");
    if (WritesCompositeGeoTiff(job)) log.Append("GeoTIFF:\t" + job.geoTiffPath + "\r\n");
    if (WritesCompositeBmp(job)) log.Append("BMP:\t\t" + job.bmpPath + "\r\n");
    if (!job.batchMode)
        log.Append(std::string("Display it?\t") + (job.displayBmp ? "Yes\r\n" : "No\r\n"));
    AppendStretchReport(job.stretch, log);
}

bool ConfirmCombineOutputs(const BandCombinationJob& job, Host& host)
{
    std::vector<std::string> targets;
    if (WritesCompositeBmp(job)) targets.push_back(job.bmpPath);
    if (WritesCompositeGeoTiff(job)) targets.push_back(job.geoTiffPath);
    // Answering Yes deletes the old file: it must never be one of the inputs.
    std::vector<std::string> inputs{job.bluePath};
    for (const auto& path : job.bandPath) {
        inputs.insert(inputs.end(),
                      {path, WithoutLastFour(path) + ".hdr", WithoutLastFour(path) + ".rdc"});
    }
    for (const auto& target : targets) {
        for (const auto& input : inputs) {
            if (SamePath(target, input)) {
                host.ShowMessage(target +
                                 " is an input of this run.\nChange the name of the 24-bit BMP.");
                return false;
            }
        }
    }
    return !WritesCompositeBmp(job) || ConfirmOverwrite(job.bmpPath, host);
}

}  // namespace lumesta
