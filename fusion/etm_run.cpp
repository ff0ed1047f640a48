#include "fusion/etm_run.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <new>

#include "core/wait_cursor.h"
#include "fusion/etm_steps.h"
#include "fusion/confirm_fused_outputs.h"
#include "fusion/fusion_validation.h"
#include "fusion/geotiff_steps.h"
#include "fusion/output_cleanup.h"
#include "fusion/report_sections.h"
#include "raster/band_io.h"
#include "raster/file_name.h"
#include "raster/geotiff.h"
#include "raster/result_header.h"

namespace lumesta {
namespace {

const std::string kUnsuccessful = "\r\nUnsuccessful\r\n";
const std::string kStepUnsuccessful = "\r\n\r\nUnsuccessful\r\n";
const std::string kFinished = "\tFinished\r\n";
const char* const kBandNames[3] = {"Blue", "Green", "Red"};
constexpr std::int64_t kVeryLargePixels = 67108864;

std::string Num(std::int64_t value) { return std::to_string(static_cast<long long>(value)); }

bool AllMsFlagsSet(const EtmJob& job) { return job.rasterKind[1] && job.rasterKind[2] && job.rasterKind[3]; }

bool TypesAgree(const EtmJob& job, Host& host)
{
    if (HasMultiBandMsFile(job)) {
        if (job.panExt == job.msExt[kEtmBlue]) return true;
        host.ShowMessage("Pan and Ms image types are not the same.");
        return false;
    }
    const bool anyFlag = job.rasterKind[0] || job.rasterKind[1] || job.rasterKind[2] || job.rasterKind[3];
    if (!anyFlag) {
        if (job.panExt == job.msExt[kEtmBlue] && job.msExt[kEtmGreen] == job.msExt[kEtmBlue] &&
            job.msExt[kEtmRed] == job.msExt[kEtmBlue]) {
            return true;
        }
        host.ShowMessage("Pan and Ms image types are not the same, as identified by file extensions");
        return false;
    }
    for (const auto& ext : job.msExt) {
        if (ext == "rst" || ext == "img") {
            host.ShowMessage("Ms image types are not the same, as identified by file extensions");
            return false;
        }
    }
    return true;
}

bool ValidateEtmJob(EtmJob& job, Host& host)
{
    if (job.panName.empty() || job.bmpName.empty() || job.selection[0].empty() ||
        job.selection[1].empty() || job.selection[2].empty()) {
        host.ShowMessage("Please input images.");
        return false;
    }
    if (!PanSizeAcceptable(job.width, job.height, host)) return false;
    if (!job.batchMode && (job.selection[0] == job.selection[1] || job.selection[0] == job.selection[2] ||
                           job.selection[1] == job.selection[2])) {
        host.ShowMessage("Input images should not have the same name.");
        return false;
    }
    if (!TypesAgree(job, host)) return false;
    if (AllMsFlagsSet(job) && job.panExt != "tif" && job.displayBmp &&
        static_cast<std::int64_t>(job.width) * job.height > kVeryLargePixels &&
        host.AskYesNo("Input images are very large. Do you wish to disable the automatic display "
                      "of 24-bit BMP?")) {
        job.displayBmp = false;
    }
    return true;
}

bool WritePanSection(EtmRunState& state, std::int64_t& panLength)
{
    const EtmJob& job = state.job;
    panLength = GetDataBlockLength(job.panPath, state.host);
    state.log.Append("(a) Input High Resolution Panchromatic Band:\r\nPAN:\t" + job.panPath + "\r\n");
    state.log.Append("Width:\t\t\t" + Num(state.width) + " pixels\r\n");
    state.log.Append("Height:\t\t\t" + Num(state.height) + " pixels\r\n");
    state.log.Append("Image Size:\t\t" + Num(state.width * state.height) + " pixels\r\n");
    state.log.Append("File Size:\t\t" + Num(panLength) + " bytes\r\n\r\n");
    if (job.panExt != "tif" && panLength != state.width * state.height) {
        state.host.ShowMessage("Check the file size of Pan image.");
        return false;
    }
    return true;
}

bool CheckMsHeaders(EtmRunState& state)
{
    EtmJob& job = state.job;
    const int bandsToRead = HasMultiBandMsFile(job) ? 1 : 3;
    for (int band = 0; band < bandsToRead; ++band) {
        const std::string& ext = job.msExt[band];
        if (ext != "img" && ext != "rst" && ext != "tif") continue;  // generic matrices have no header
        CImageInfo header;
        if (header.ReadHeader8(job.msPath[band], state.host) == 0) {
            state.host.ShowMessage(std::string(kBandNames[band]) +
                                   " Band: Check the format of its header file.");
            return false;
        }
        if (header.width != state.msWidth || header.height != state.msHeight) {
            state.host.ShowMessage("Check the width/height of the input image.");
            for (int b = 0; b < 3; ++b) {
                if (b != band && !HasMultiBandMsFile(job)) continue;
                job.selection[b].clear();
                job.selectedIndex[b] = -1;
                job.bandLists[b].clear();
            }
            return false;
        }
    }
    return true;
}

bool WriteInputSections(EtmRunState& state)
{
    std::int64_t panLength = 0;
    if (!WritePanSection(state, panLength)) return false;
    const EtmJob& job = state.job;
    const bool multiBand = HasMultiBandMsFile(job);
    state.log.Append("(b) Input Low Resolution Multispectral Bands:\r\n");
    for (int band = 0; band < 3; ++band) {
        state.log.Append(std::string(kBandNames[band]) + ":\t" + job.msPath[band] +
                         (multiBand ? "(" + job.selection[band] + ")\r\n" : std::string("\r\n")));
    }
    std::int64_t msLength[3] = {};
    for (int band = 0; band < (multiBand ? 1 : 3); ++band) {
        msLength[band] = GetDataBlockLength(job.msPath[band], state.host);
    }
    state.log.Append("Width:\t\t\t" + Num(state.msWidth) + " pixels\r\n");
    state.log.Append("Height:\t\t\t" + Num(state.msHeight) + " pixels\r\n");
    state.log.Append("Image Size:\t\t" + Num(state.width * state.height / 4) + " pixels\r\n");
    state.log.Append("File Size:\t\t" + Num(msLength[0]) + " bytes\r\n\r\n");
    if (multiBand && msLength[0] != job.msBandCount * state.width * state.height / 4) {
        state.host.ShowMessage("File size does not match with image size and bands.");
        return false;
    }
    // GeoTIFF files may be compressed: their extracted lengths are compared in Step 0 instead.
    if (!multiBand && job.panExt != "tif" && (msLength[1] != msLength[0] || msLength[2] != msLength[0])) {
        state.host.ShowMessage("The file size of Ms bands is not the same.");
        return false;
    }
    const std::int64_t oneBand = multiBand ? msLength[0] / job.msBandCount : msLength[0];
    if (job.panExt != "tif" && panLength != 4 * oneBand) {
        state.host.ShowMessage("Check the file sizes of Pan and Ms bands.");
        return false;
    }
    return CheckMsHeaders(state);
}

void WriteParameterAndOutputSections(const EtmJob& job, const FusedOutputs<3>& outputs, RunLog& log)
{
    static const char* const kFilters[5] = {
        "Spatial Filtering:\tSmooth\r\n", "Spatial Filtering:\tSmooth, followed by sharpening\r\n",
        "Spatial Filtering:\tNone\r\n", "Spatial Filtering:\tDetail\r\n",
        "Spatial Filtering:\tSharpen\r\n"};
    static const char* const kFlagLabels[3] = {"\t- Blue:\t\t", "\t- Green:\t", "\t- Red:\t\t"};
    log.Append("(c) Key Parameters:\r\n");
    log.Append(job.method == 1 ? "Pan-Sharpening Method:\tOptimisation 2\r\n"
                               : "Pan-Sharpening Method:\tOptimisation 1\r\n");
    log.Append("Resampling Method:\tImproved Bilinear\r\n");
    log.Append(kFilters[static_cast<int>(job.filterType)]);
    for (int band = 0; band < 3; ++band) {
        log.Append(std::string(kFlagLabels[band]) + (job.filterFlags[band] ? "Yes\r\n" : "No\r\n"));
    }
    log.Append("(d) Output Pan-Sharpened Colour Images:\r\n");
    // In batch mode only the outputs the indicator asks for are listed.
    for (int band = 0; band < 3; ++band) {
        if (outputs.kind != PanOutputKind::GeoTiff) {
            log.Append(std::string(kBandNames[band]) + ":\t" + outputs.data[band] + "\r\n");
        } else if (WritesGeoTiff(job, outputs.kind)) {
            log.Append(std::string(kBandNames[band]) + ":\t" + outputs.geoTiff + " (Band " +
                       std::to_string(band + 1) + ")\r\n");
        }
    }
    if (WritesBmp(job)) log.Append("BMP:\t" + job.bmpName + "\r\n");
    log.Append(std::string("Display it?\t\t") + (job.displayBmp ? "Yes\r\n" : "No\r\n"));
    WriteStretchReport(job.colourMatch, job.stretch, log);
}

bool WriteResultHeaders(EtmRunState& state)
{
    static const char* const kLabels[3] = {"Blue (Band 1)", "Green (Band 2)", "Red (Band 3)"};
    const EtmJob& job = state.job;
    for (int band = 0; band < 3; ++band) {
        const std::string& header = state.outputs.headers[band];
        if (state.outputs.kind == PanOutputKind::Envi ||
            state.outputs.kind == PanOutputKind::MultiBandEnvi) {
            WriteEnviResultHeader(WithoutLastFour(job.panPath) + ".hdr", kLabels[band], header,
                                  job.width, job.height, job.selection[band], state.host);
        } else if (state.outputs.kind == PanOutputKind::Idrisi) {
            // The Landsat tool titles its Idrisi32 results with the band label.
            IdrisiResultValues values;
            values.columns = job.width;
            values.rows = job.height;
            values.minX = job.panMinX;
            values.maxX = job.panMaxX;
            values.minY = job.panMinY;
            values.maxY = job.panMaxY;
            values.minValue = state.minValue[band];
            values.maxValue = state.maxValue[band];
            values.displayMin = state.limits[band].low;
            values.displayMax = state.limits[band].high;
            WriteIdrisiResultHeader(kLabels[band], WithoutLastFour(job.msPath[band]) + ".rdc", header,
                                    values, state.host);
        } else {
            continue;
        }
        if (!FileExists(header)) return false;
    }
    return true;
}

// Empties the band lists, clears the pan and sets the size to 0.
void ResetEtmInputs(EtmJob& job)
{
    for (int band = 0; band < 3; ++band) {
        job.bandLists[band].clear();
        job.selection[band].clear();
        job.selectedIndex[band] = -1;
    }
    job.panName.clear();
    job.panPath.clear();
    job.width = 0;
    job.height = 0;
}

RunOutcome FailStep(EtmRunState& state, StepResult result)
{
    if (result == StepResult::Cancelled) {
        state.log.Append("\r\nCancelled\r\n\r\n");
        return RunOutcome::Cancelled;
    }
    if (result == StepResult::Implausible) {
        state.log.Append("\tUnfortunate\r\n\r\n\r\n");
        if (state.job.method == 0) ResetEtmInputs(state.job);
    } else {
        state.log.Append(kStepUnsuccessful);
    }
    return RunOutcome::Stopped;
}

// Step 0: the GeoTIFF inputs become raw files that the other steps read in their place.
StepResult ExtractInputs(EtmRunState& state, TempFiles& temps)
{
    GeoTiffInputs inputs;
    inputs.panPath = state.job.panPath;
    inputs.msPaths.assign(state.job.msPath.begin(), state.job.msPath.end());
    inputs.msBandBytes = state.msWidth * state.msHeight;
    inputs.panToMsRatio = 4;
    ExtractedInputs extracted;
    bool lengthCheckFailed = false;
    const StepResult result = ExtractGeoTiffInputs(inputs, temps, state.host, extracted, lengthCheckFailed);
    if (result != StepResult::Ok) {
        temps.RemoveNow();
        if (lengthCheckFailed) ResetEtmInputs(state.job);
        return result;
    }
    state.panInput = extracted.pan;
    for (int band = 0; band < 3; ++band) state.msInput[band] = extracted.ms[band];
    return StepResult::Ok;
}

// Step 6: the three fused bands as one GeoTIFF with the pan's georeferencing.
StepResult WriteFusedGeoTiff(EtmRunState& state)
{
    for (auto& file : state.fused) file.Close();
    const FusedOutputs<3>& outputs = state.outputs;
    const std::string& reference = state.job.batchMode ? state.job.geoReference : state.job.panPath;
    if (WriteGeoTiff(reference, outputs.geoTiff, outputs.data[0], outputs.data[1],
                     outputs.data[2], 1, false, state.host) == 1 &&
        FileExists(outputs.geoTiff)) {
        return StepResult::Ok;
    }
    return state.Pump() ? StepResult::Failed : StepResult::Cancelled;
}

RunOutcome RunAnalyticalSteps(EtmRunState& state, OutputCleanup& cleanup)
{
    const std::time_t start = std::time(nullptr);
    WaitCursorScope busy(state.host);
    state.log.Append("\r\n(e) Analytical Steps \r\n");
    const EtmJob& job = state.job;
    state.panInput = job.panPath;
    for (int band = 0; band < 3; ++band) {
        state.msInput[band] = job.msPath[band];
        state.msByteOffset[band] =
            HasMultiBandMsFile(job) ? job.selectedIndex[band] * state.msWidth * state.msHeight : 0;
    }
    TempFiles temps(job.panPath);
    const bool geoTiff = state.outputs.kind == PanOutputKind::GeoTiff;
    StepResult result = StepResult::Ok;
    if (geoTiff) {
        state.log.Append("    Step 0: ......");
        if ((result = ExtractInputs(state, temps)) != StepResult::Ok) return FailStep(state, result);
        state.log.Append("\tFinished (GeoTIFF image input)\r\n");
    }
    state.log.Append("    Step 1: .");
    result = EstimateEtmCoefficients(state);
    if (result != StepResult::Ok) return FailStep(state, result);
    state.log.Append(kFinished);
    if (job.colourMatch && (result = ComputeEtmInputStretchLimits(state)) != StepResult::Ok) {
        return FailStep(state, result);
    }
    state.log.Append("    Step 2: ......");
    if ((result = FuseEtmStrips(state)) != StepResult::Ok) return FailStep(state, result);
    state.log.Append(kFinished);
    const std::time_t postProcessing = std::time(nullptr);
    state.log.Append("    Step 3: ");
    if ((result = PostProcessEtmBands(state)) != StepResult::Ok) return FailStep(state, result);
    state.log.Append(kFinished);
    if (!WriteResultHeaders(state)) return FailStep(state, StepResult::Failed);
    state.log.Append("    Step 4: ......" + kFinished);
    const bool bmp = WritesBmp(job);
    if (bmp) {
        state.log.Append("    Step 5: ......");
        if ((result = WriteEtmBmp(state)) != StepResult::Ok) return FailStep(state, result);
        state.log.Append("\tFinished (24-bit BMP output)\r\n");
    }
    if (WritesGeoTiff(job, state.outputs.kind)) {
        state.log.Append(bmp ? "    Step 6: ......" : "    Step 5: ......");
        if ((result = WriteFusedGeoTiff(state)) != StepResult::Ok) return FailStep(state, result);
        state.log.Append("\tFinished (GeoTIFF image output)\r\n");
    }
    if (geoTiff) {
        // The fused raw files were only the GeoTIFF's planes.
        for (auto& file : state.fused) file.Close();
        for (const auto& path : state.outputs.data) std::remove(path.c_str());
    }
    temps.RemoveNow();
    for (auto& file : state.fused) file.Close();
    cleanup.Keep();
    WriteReportEnd(state.log, start, postProcessing, std::time(nullptr));
    if (job.displayBmp) state.host.OpenInViewer(ViewerKind::Picture, job.bmpName);
    return RunOutcome::Finished;
}

RunOutcome RunValidated(EtmJob& job, RunCounters& counters, Host& host)
{
    RunLog log(counters, host);
    const auto progress = OpenPanSharpeningReport(log, host);
    EtmRunState state(job, host, log, *progress);
    state.width = job.width;
    state.height = job.height;
    state.msWidth = job.width / 2;
    state.msHeight = job.height / 2;
    const bool multiBandEnvi = HasMultiBandMsFile(job) && job.panExt == "img" && job.msHeaderType == "ENVI";
    state.outputs = DeriveFusedOutputs<3>(job.panPath, job.panExt, job.msPath, job.msExt, job.rasterKind,
                                          multiBandEnvi, job.suffix);
    if (job.batchMode) state.outputs.geoTiff = job.batchGeoTiff;
    if (!WriteInputSections(state)) {
        log.Append(kUnsuccessful);
        return RunOutcome::Stopped;
    }
    WriteParameterAndOutputSections(job, state.outputs, log);
    std::vector<std::string> targets(state.outputs.data.begin(), state.outputs.data.end());
    targets.insert(targets.end(), state.outputs.headers.begin(), state.outputs.headers.end());
    if (WritesGeoTiff(job, state.outputs.kind)) targets.push_back(state.outputs.geoTiff);
    targets.erase(std::remove(targets.begin(), targets.end(), std::string()), targets.end());
    if (WritesBmp(job)) targets.push_back(job.bmpName);
    std::vector<std::string> inputs{job.panPath};
    inputs.insert(inputs.end(), job.msPath.begin(), job.msPath.end());
    if (!ConfirmFusedOutputs(targets, inputs, state.outputs.data[0], host)) {
        log.Append(kUnsuccessful);
        return RunOutcome::Stopped;
    }
    OutputCleanup cleanup(targets);
    for (int band = 0; band < 3; ++band) {
        if (!state.fused[band].CreateForReadWrite(state.outputs.data[band])) {
            host.ShowMessage("Error when writing output file.\nYou may wish to copy files from CD-ROM to hard disk.");
            log.Append(kUnsuccessful);
            return RunOutcome::Stopped;
        }
    }
    return RunAnalyticalSteps(state, cleanup);
}

}  // namespace

RunOutcome RunEtmPanSharpen(EtmJob& job, RunCounters& counters, Host& host)
{
    WaitCursorScope busy(host);
    if (!ValidateEtmJob(job, host)) return RunOutcome::Stopped;
    try {
        return RunValidated(job, counters, host);
    } catch (const std::bad_alloc&) {
        host.ShowMessage("Error: reading image file - Cannot allocate memory");
        host.AppendLog(kStepUnsuccessful);
        return RunOutcome::Stopped;
    }
}

}  // namespace lumesta
