#include "fusion/pansharpen_run.h"

#include <cstdio>
#include <ctime>
#include <new>

#include "core/wait_cursor.h"
#include "fusion/fusion_validation.h"
#include "fusion/geotiff_steps.h"
#include "fusion/input_reset.h"
#include "fusion/output_cleanup.h"
#include "fusion/pansharpen_outputs.h"
#include "fusion/pansharpen_report.h"
#include "fusion/pansharpen_steps.h"
#include "fusion/report_sections.h"
#include "raster/band_io.h"
#include "raster/file_name.h"
#include "raster/geotiff.h"
#include "raster/result_header.h"

namespace lumesta {
namespace {

const std::string kUnsuccessful = "\r\nUnsuccessful\r\n";
const std::string kStepUnsuccessful = "\r\n\r\nUnsuccessful\r\n";
const std::string kUnfortunate = "\tUnfortunate\r\n\r\n\r\n";
const std::string kCancelled = "\r\nCancelled\r\n\r\n";
const std::string kFinished = "\tFinished\r\n";

std::vector<std::string> RunOutputPaths(const PanSharpenJob& job, const PanOutputs& outputs)
{
    std::vector<std::string> paths(outputs.data.begin(), outputs.data.end());
    paths.insert(paths.end(), outputs.headers.begin(), outputs.headers.end());
    if (WritesGeoTiff(job, outputs.kind)) paths.push_back(outputs.geoTiff);
    if (WritesBmp(job)) paths.push_back(job.bmpName);
    return paths;
}

bool CreateOutputFiles(PanRunState& state)
{
    for (int band = kBlue; band <= kNir; ++band) {
        if (!state.fused[band].CreateForReadWrite(state.outputs.data[band])) {
            state.host.ShowMessage(
                "Error when writing output file.\nYou may wish to copy files from CD-ROM to hard disk.");
            return false;
        }
    }
    return true;
}

// Result headers in the format of the inputs; false when one could not be written.
bool WriteResultHeaders(PanRunState& state)
{
    static const char* const kLabels[4] = {"Blue (Band 1)", "Green (Band 2)", "Red (Band 3)",
                                           "NIR (Band 4)"};
    const PanSharpenJob& job = state.job;
    const PanOutputs& outputs = state.outputs;
    for (int band = kBlue; band <= kNir; ++band) {
        if (outputs.kind == PanOutputKind::Envi || outputs.kind == PanOutputKind::MultiBandEnvi) {
            WriteEnviResultHeader(WithoutLastFour(job.panPath) + ".hdr", kLabels[band],
                                  outputs.headers[band], job.width, job.height, job.selection[band],
                                  state.host);
        } else if (outputs.kind == PanOutputKind::Idrisi) {
            IdrisiResultValues values;
            values.columns = job.width;
            values.rows = job.height;
            values.minX = job.panMinX;
            values.maxX = job.panMaxX;
            values.minY = job.panMinY;
            values.maxY = job.panMaxY;
            values.minValue = state.minValue[band];
            values.maxValue = state.maxValue[band];
            values.displayMin = band == kNir ? state.minValue[band] : state.limits[band].low;
            values.displayMax = band == kNir ? state.maxValue[band] : state.limits[band].high;
            WriteIdrisiResultHeader(job.panPath, WithoutLastFour(job.msPath[band]) + ".rdc",
                                    outputs.headers[band], values, state.host);
        } else {
            continue;
        }
        if (!FileExists(outputs.headers[band])) return false;
    }
    return true;
}

// Where the run reads each input's samples: the inputs themselves, band by band.
void LocateInputs(PanRunState& state)
{
    const PanSharpenJob& job = state.job;
    state.panInput = job.panPath;
    const std::int64_t bandBytes = state.msWidth * state.msHeight * 2;
    for (int band = kBlue; band <= kNir; ++band) {
        state.msInput[band] = job.msPath[band];
        state.msByteOffset[band] = HasMultiBandMsFile(job) ? job.selectedIndex[band] * bandBytes : 0;
    }
}

// Step 0: GeoTIFF inputs become raw files, which the other steps read in their place.
StepResult ExtractInputs(PanRunState& state, TempFiles& temps)
{
    const PanSharpenJob& job = state.job;
    GeoTiffInputs inputs;
    inputs.panPath = job.panPath;
    inputs.multiBandFile = HasMultiBandMsFile(job);
    inputs.bandsInFile = inputs.multiBandFile ? 4 : 1;
    inputs.msPaths.assign(job.msPath.begin(), inputs.multiBandFile ? job.msPath.begin() + 1 : job.msPath.end());
    inputs.msBandBytes = state.msWidth * state.msHeight * 2;
    inputs.panToMsRatio = 16;
    ExtractedInputs extracted;
    bool lengthCheckFailed = false;
    const StepResult result = ExtractGeoTiffInputs(inputs, temps, state.host, extracted, lengthCheckFailed);
    if (result != StepResult::Ok) {
        temps.RemoveNow();
        if (lengthCheckFailed) ResetPanSharpenInputs(state.job);
        return result;
    }
    state.panInput = extracted.pan;
    for (int band = kBlue; band <= kNir; ++band) {
        state.msInput[band] = extracted.ms[inputs.multiBandFile ? 0 : band];
    }
    return StepResult::Ok;
}

// Step 6: the four fused bands as one GeoTIFF with the pan's georeferencing.
StepResult WriteFusedGeoTiff(PanRunState& state)
{
    for (auto& file : state.fused) file.Close();
    const PanOutputs& outputs = state.outputs;
    const std::string& reference = state.job.batchMode ? state.job.geoReference : state.job.panPath;
    if (WriteGeoTiff(reference, outputs.geoTiff, outputs.data[kBlue], outputs.data[kGreen],
                     outputs.data[kRed], outputs.data[kNir], 2, true, state.host) == 1 &&
        FileExists(outputs.geoTiff)) {
        return StepResult::Ok;
    }
    return state.Pump() ? StepResult::Failed : StepResult::Cancelled;
}

// The run after its report sections: outputs, the analytical steps and the report end.
class AnalyticalRun {
public:
    AnalyticalRun(PanRunState& state, OutputCleanup& cleanup) : m_state(state), m_cleanup(cleanup) {}
    RunOutcome Run();

private:
    RunOutcome Fail(StepResult result);
    RunOutcome Finish(std::time_t start, std::time_t postProcessing);

    PanRunState& m_state;
    OutputCleanup& m_cleanup;
};

RunOutcome AnalyticalRun::Fail(StepResult result)
{
    if (result == StepResult::Cancelled) {
        m_state.log.Append(kCancelled);
        return RunOutcome::Cancelled;
    }
    if (result == StepResult::Implausible) {
        m_state.log.Append(kUnfortunate);
        if (m_state.job.method == FusionMethod::Optimisation1) ResetPanSharpenInputs(m_state.job);
    } else {
        m_state.log.Append(kStepUnsuccessful);
    }
    return RunOutcome::Stopped;
}

RunOutcome AnalyticalRun::Run()
{
    PanRunState& state = m_state;
    const std::time_t start = std::time(nullptr);
    WaitCursorScope busy(state.host);
    state.log.Append("\r\n(e) Analytical Steps \r\n");
    LocateInputs(state);
    TempFiles temps(state.job.panPath);
    const bool geoTiff = state.outputs.kind == PanOutputKind::GeoTiff;
    StepResult result = StepResult::Ok;
    if (geoTiff) {
        state.log.Append("    Step 0: ......");
        if ((result = ExtractInputs(state, temps)) != StepResult::Ok) return Fail(result);
        state.log.Append("\tFinished (GeoTIFF image input)\r\n");
    }

    state.log.Append("    Step 1: .");
    result = EstimateCoefficients(state);
    if (result != StepResult::Ok) return Fail(result);
    state.log.Append(kFinished);
    if (state.job.colourMatch && (result = ComputeInputStretchLimits(state)) != StepResult::Ok) {
        return Fail(result);
    }

    state.log.Append("    Step 2: ......");
    if ((result = FuseStrips(state)) != StepResult::Ok) return Fail(result);
    state.log.Append(kFinished);
    const std::time_t postProcessing = std::time(nullptr);

    state.log.Append("    Step 3: ");
    if ((result = PostProcessBands(state)) != StepResult::Ok) return Fail(result);
    state.log.Append(kFinished);
    if (!WriteResultHeaders(state)) return Fail(StepResult::Failed);

    state.log.Append("    Step 4: ......");
    state.log.Append(kFinished);
    const bool bmp = WritesBmp(state.job);
    if (bmp) {
        state.log.Append("    Step 5: ......");
        if ((result = WriteFusedBmp(state)) != StepResult::Ok) return Fail(result);
        state.log.Append("\tFinished (24-bit BMP output)\r\n");
    }
    if (WritesGeoTiff(state.job, state.outputs.kind)) {
        state.log.Append(bmp ? "    Step 6: ......" : "    Step 5: ......");
        if ((result = WriteFusedGeoTiff(state)) != StepResult::Ok) return Fail(result);
        state.log.Append("\tFinished (GeoTIFF image output)\r\n");
    }
    if (geoTiff) {
        // The fused raw files were only the GeoTIFF's planes.
        for (auto& file : state.fused) file.Close();
        for (const auto& path : state.outputs.data) std::remove(path.c_str());
    }
    temps.RemoveNow();
    return Finish(start, postProcessing);
}

RunOutcome AnalyticalRun::Finish(std::time_t start, std::time_t postProcessing)
{
    for (auto& file : m_state.fused) file.Close();
    m_cleanup.Keep();
    WriteReportEnd(m_state.log, start, postProcessing, std::time(nullptr));
    if (m_state.job.displayBmp) m_state.host.OpenInViewer(ViewerKind::Picture, m_state.job.bmpName);
    return RunOutcome::Finished;
}

RunOutcome RunValidated(PanSharpenJob& job, RunCounters& counters, Host& host)
{
    RunLog log(counters, host);
    const auto progress = OpenPanSharpeningReport(log, host);
    PanRunState state(job, host, log, *progress);
    state.width = job.width;
    state.height = job.height;
    state.msWidth = job.width / 4;
    state.msHeight = job.height / 4;
    state.outputs = DerivePanOutputs(job);

    if (!WriteInputSections(state)) {
        log.Append(kUnsuccessful);
        return RunOutcome::Stopped;
    }
    WriteParameterSection(job, log);
    WriteOutputSection(job, state.outputs, log);
    if (!ConfirmPanOutputs(state)) {
        log.Append(kUnsuccessful);
        return RunOutcome::Stopped;
    }
    OutputCleanup cleanup(RunOutputPaths(job, state.outputs));
    if (!CreateOutputFiles(state)) {
        log.Append(kUnsuccessful);
        return RunOutcome::Stopped;
    }
    return AnalyticalRun(state, cleanup).Run();
}

}  // namespace

RunOutcome RunPanSharpen(PanSharpenJob& job, RunCounters& counters, Host& host)
{
    WaitCursorScope busy(host);
    if (!ValidatePanSharpenJob(job, host)) return RunOutcome::Stopped;
    try {
        return RunValidated(job, counters, host);
    } catch (const std::bad_alloc&) {
        host.ShowMessage("Error: reading image file - Cannot allocate memory");
        host.AppendLog(kStepUnsuccessful);
        return RunOutcome::Stopped;
    }
}

}  // namespace lumesta
