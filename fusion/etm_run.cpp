#include "fusion/etm_run.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <new>

#include "core/wait_cursor.h"
#include "fusion/confirm_fused_outputs.h"
#include "fusion/etm_report.h"
#include "fusion/etm_steps.h"
#include "fusion/fusion_validation.h"
#include "fusion/geotiff_steps.h"
#include "fusion/input_reset.h"
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

RunOutcome FailStep(EtmRunState& state, StepResult result)
{
    if (result == StepResult::Cancelled) {
        state.log.Append("\r\nCancelled\r\n\r\n");
        return RunOutcome::Cancelled;
    }
    if (result == StepResult::Implausible) {
        state.log.Append("\tUnfortunate\r\n\r\n\r\n");
        if (state.job.method == FusionMethod::Optimisation1) ResetEtmInputs(state.job);
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
    result = EstimateCoefficients(state);
    if (result != StepResult::Ok) return FailStep(state, result);
    state.log.Append(kFinished);
    if (job.colourMatch && (result = ComputeInputStretchLimits(state)) != StepResult::Ok) {
        return FailStep(state, result);
    }
    state.log.Append("    Step 2: ......");
    if ((result = FuseStrips(state)) != StepResult::Ok) return FailStep(state, result);
    state.log.Append(kFinished);
    const std::time_t postProcessing = std::time(nullptr);
    state.log.Append("    Step 3: ");
    if ((result = PostProcessBands(state)) != StepResult::Ok) return FailStep(state, result);
    state.log.Append(kFinished);
    if (!WriteResultHeaders(state)) return FailStep(state, StepResult::Failed);
    state.log.Append("    Step 4: ......" + kFinished);
    const bool bmp = WritesBmp(job);
    if (bmp) {
        state.log.Append("    Step 5: ......");
        if ((result = WriteFusedBmp(state)) != StepResult::Ok) return FailStep(state, result);
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
    WriteParameterSection(job, log);
    WriteOutputSection(job, state.outputs, log);
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
