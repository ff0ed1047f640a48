#include "fusion/fusion_run.h"

#include <ctime>
#include <fstream>
#include <iterator>
#include <optional>
#include <new>
#include <utility>
#include <string>
#include <vector>

#include "core/run_files.h"
#include "core/run_steps.h"
#include "core/wait_cursor.h"
#include "fusion/delivery/delivery_run.h"
#include "fusion/etm_steps.h"
#include "fusion/fusion_steps.h"
#include "fusion/fusion_validation.h"
#include "fusion/injection/injection_steps.h"
#include "fusion/inputs/geotiff_inputs.h"
#include "fusion/inputs/input_reset.h"
#include "fusion/outputs/band_result.h"
#include "fusion/outputs/confirm_fused_outputs.h"
#include "fusion/outputs/staged_outputs.h"
#include "fusion/pansharpen_steps.h"
#include "fusion/report/input_sections.h"
#include "fusion/report/parameter_section.h"
#include "fusion/report/report_sections.h"
#include "raster/file_name.h"
#include "raster/geotiff/geotiff_write.h"
#include "raster/result_header.h"
#include "raster/world_file.h"

// Both pan-sharpening runs, one routine over the run state: the 16-bit tool's four bands of
// 16-bit samples at ratio 4 and the Landsat tool's three bands of bytes at ratio 2. What the
// tools do differently lives in their steps and report sections, found by overload.

namespace lumesta {
namespace {

const std::string kUnsuccessful = "\r\nUnsuccessful\r\n";
const std::string kStepUnsuccessful = "\r\n\r\nUnsuccessful\r\n";
const std::string kUnfortunate = "\tUnfortunate\r\n\r\n\r\n";
const std::string kCancelled = "\r\nCancelled\r\n\r\n";
const std::string kFinished = "\tFinished\r\n";
// The steps as the progress window names them.
const std::string kExtractStep = "Extracting the GeoTIFF inputs";
const std::string kFitStep = "Fitting the method to the scene";
const std::string kFuseStep = "Fusing the bands";
const std::string kPostProcessStep = "Post-processing the fused bands";
const std::string kHeaderStep = "Writing the result headers";
const std::string kBmpStep = "Writing the 24-bit BMP";
const std::string kGeoTiffStep = "Writing the GeoTIFF";
const std::string kResultStep = "Writing the result";

const std::string kWriteFailure =
    "Error when writing output file.\nYou may wish to copy files from CD-ROM to hard disk.";

// The title of a band's Idrisi32 result header: the 16-bit tool takes the pan's path, the
// Landsat tool the band's label.
std::string IdrisiTitle(const PanSharpenJob& job, const char* /*label*/)
{
    return job.panPath;
}
std::string IdrisiTitle(const EtmJob& /*job*/, const char* label)
{
    return label;
}

// Whether Step 0 extracts one multi-band MS GeoTIFF (the 16-bit tool's four-band file) rather
// than one file per band.
bool ExtractsMultiBandFile(const PanSharpenJob& job)
{
    return HasMultiBandMsFile(job);
}
bool ExtractsMultiBandFile(const EtmJob& /*job*/)
{
    return false;
}

// Where the detail-injection engine places the MS, and the report's line that says so; the
// Landsat tool's methods do not register.
std::string RegisterInputs(PanRunState& state)
{
    return RegisterInjectionRun(state);
}
std::string RegisterInputs(EtmRunState& /*state*/)
{
    return std::string();
}

void WriteParameters(const PanSharpenJob& job, const std::string& offsetLine, RunLog& log)
{
    WriteParameterSection(job, offsetLine, log);
}
void WriteParameters(const EtmJob& job, const std::string& /*offsetLine*/, RunLog& log)
{
    WriteParameterSection(job, log);
}

// The multi-band result --output or --format asks for; only the 16-bit tool takes them.
bool NameResult(const PanSharpenJob& job, std::optional<BandResult>& result, Host& host)
{
    return NameBandResult(job, result, host);
}
bool NameResult(const EtmJob& /*job*/, std::optional<BandResult>& result, Host& /*host*/)
{
    result.reset();
    return true;
}

// The band names of the multi-band result.
const char* const kBandLabels[4] = {"Blue (Band 1)", "Green (Band 2)", "Red (Band 3)",
                                    "NIR (Band 4)"};

// Whether the run writes the GeoTIFF of GeoTIFF inputs: not when the bands go into a result of
// their own.
template <typename State>
bool WritesPlanes(const State& state)
{
    return !state.bandResult && WritesGeoTiff(state.job, state.outputs.kind);
}

bool ValidateJob(PanSharpenJob& job, Host& host)
{
    return ValidatePanSharpenJob(job, host);
}
bool ValidateJob(EtmJob& job, Host& host)
{
    return ValidateEtmJob(job, host);
}

// The no-data value the fused bands are marked with, when an option or a declaration asks.
std::optional<double> FusedNoData(const PanSharpenJob& job)
{
    return FusedNoDataValue(job);
}
std::optional<double> FusedNoData(const EtmJob& job)
{
    return FusedNoDataValue(job);
}

// Declares value as the no-data value of a result header just written: ENVI's "data ignore
// value", Idrisi32's flag value (defined as background). False when the header cannot be
// rewritten.
bool DeclareNoData(const std::string& header, bool envi, double value)
{
    std::ifstream in(header, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) return false;
    in.close();
    const std::string number = std::to_string(static_cast<long long>(value));
    if (envi) {
        text += "\r\ndata ignore value = " + number;
    } else {
        for (const auto& [from, to] :
             {std::pair<std::string, std::string>{"flag value  : none", "flag value  : " + number},
              {"flag def'n  : none", "flag def'n  : background"}}) {
            const std::size_t at = text.find(from);
            if (at != std::string::npos) text.replace(at, from.size(), to);
        }
    }
    std::ofstream out(header, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    return out.good();
}

// Every file the run puts in place, in the order the overwrite question checks them.
template <typename State>
std::vector<std::string> OutputTargets(const State& state)
{
    if (state.bandResult) {
        std::vector<std::string> targets = state.bandResult->files;
        if (WritesBmp(state.job)) targets.push_back(state.job.bmpName);
        return targets;
    }
    return FusedTargets(state.outputs, WritesPlanes(state), WritesBmp(state.job),
                        state.job.bmpName);
}

template <typename State>
bool ConfirmOutputs(State& state, const std::vector<std::string>& targets)
{
    std::vector<std::string> inputs{state.job.panPath};
    inputs.insert(inputs.end(), state.job.msPath.begin(), state.job.msPath.end());
    if (!state.bandResult) {
        return ConfirmFusedOutputs(targets, inputs, state.outputs.data[0], state.host);
    }
    // The result replaces what is there only when the run has finished.
    const std::string bmp = WritesBmp(state.job) ? state.job.bmpName : std::string();
    if (!BandResultIsNew(*state.bandResult, bmp, inputs, state.host)) return false;
    bool anyExists = false;
    for (const auto& target : targets) anyExists = anyExists || FileExists(target);
    return !anyExists ||
           state.host.AskYesNo(state.bandResult->path +
                               "\nor the other outputs of this run already exist.\nDo you want "
                               "to overwrite?");
}

// Whether fused band b stays in the cache whole until it is read back: the picture reads Blue,
// Green and Red back, the GeoTIFF output every band; they stay when together they fit the
// run's cache allowance, otherwise they are read back from the disk.
template <typename State>
bool KeptForReadBack(const State& state, int b)
{
    const bool whole = WritesPlanes(state) || state.bandResult.has_value();
    const auto readBack = [&](int band) {
        return whole || (ShownInPicture(state.job, band) && WritesBmp(state.job));
    };
    int bands = 0;
    for (int band = 0; band < State::kBands; ++band) bands += readBack(band) ? 1 : 0;
    const std::int64_t bandBytes =
        state.width * state.height * static_cast<std::int64_t>(sizeof(typename State::Sample));
    return readBack(b) && bands * bandBytes <= WriteBehind::kReadBackCacheBytes;
}

// The band files and headers of a run whose bands go into one result: temporary files of the
// run; the picture staged. False after the output-file message.
template <std::size_t N>
bool StageBandFiles(FusedOutputs<N>& outputs, RunFiles& files, Host& host)
{
    bool made = true;
    auto temporary = [&](std::string& path) {
        if (path.empty()) return;
        path = files.CreateTemp(path);
        made = made && !path.empty();
    };
    for (std::size_t band = 0; band < N; ++band) {
        temporary(outputs.data[band]);
        temporary(outputs.headers[band]);
    }
    if (!outputs.bmp.empty()) {
        outputs.bmp = files.StageOutput(outputs.bmp);
        made = made && !outputs.bmp.empty();
    }
    if (!made) host.ShowMessage(RunFiles::kCannotWriteOutput);
    return made;
}

// Every output under a name of the run's own, then the fused band files opened.
template <typename State>
bool CreateOutputFiles(State& state, RunFiles& files)
{
    state.outputs.bmp = WritesBmp(state.job) ? state.job.bmpName : std::string();
    if (state.bandResult) {
        if (!StageBandFiles(state.outputs, files, state.host)) return false;
    } else if (!StageFusedOutputs(state.outputs, WritesPlanes(state), state.outputs.bmp, files,
                                  state.host)) {
        return false;
    }
    for (int band = 0; band < State::kBands; ++band) {
        if (!state.fused[band].CreateForReadWrite(state.outputs.data[band])) {
            state.host.ShowMessage(kWriteFailure);
            return false;
        }
        state.fused[band].StreamWrites(KeptForReadBack(state, band));
    }
    return true;
}

// Result headers in the format of the inputs; false when one could not be written.
template <typename State>
bool WriteResultHeaders(State& state)
{
    static const char* const kLabels[4] = {"Blue (Band 1)", "Green (Band 2)", "Red (Band 3)",
                                           "NIR (Band 4)"};
    const auto& job = state.job;
    const auto& outputs = state.outputs;
    for (int band = 0; band < State::kBands; ++band) {
        if (outputs.kind == PanOutputKind::Envi || outputs.kind == PanOutputKind::MultiBandEnvi) {
            if (!WriteEnviResultHeader(WithoutLastFour(job.panPath) + ".hdr", kLabels[band],
                                       outputs.headers[band], job.width, job.height,
                                       job.selection[band], state.host)) {
                return false;
            }
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
            // A band the picture does not show (NIR by default) has no stretch: its display
            // range is its value range.
            int channel = 0;
            while (channel < 3 && PictureBand(job, channel) != band) ++channel;
            const bool stretched = channel < 3;
            values.displayMin = stretched ? state.limits[channel].low : state.minValue[band];
            values.displayMax = stretched ? state.limits[channel].high : state.maxValue[band];
            if (!WriteIdrisiResultHeader(IdrisiTitle(job, kLabels[band]),
                                         WithoutLastFour(job.msPath[band]) + ".rdc",
                                         outputs.headers[band], values, state.host)) {
                return false;
            }
        }
        const std::optional<double> noData = FusedNoData(job);
        if (noData && outputs.kind != PanOutputKind::GeoTiff &&
            !DeclareNoData(outputs.headers[band], outputs.kind != PanOutputKind::Idrisi, *noData)) {
            state.host.ShowMessage(kWriteFailure);
            return false;
        }
    }
    return true;
}

// Where the run reads each input's samples: the inputs themselves, band by band.
template <typename State>
void LocateInputs(State& state)
{
    const auto& job = state.job;
    state.panInput = job.panPath;
    const std::int64_t bandBytes =
        state.msWidth * state.msHeight * static_cast<std::int64_t>(sizeof(typename State::Sample));
    for (int band = 0; band < State::kBands; ++band) {
        state.msInput[band] = job.msPath[band];
        state.msByteOffset[band] =
            HasMultiBandMsFile(job) ? job.selectedIndex[band] * bandBytes : 0;
    }
}

// Step 0: GeoTIFF inputs become raw files, which the other steps read in their place.
template <typename State>
StepResult ExtractInputs(State& state, RunFiles& temps)
{
    const auto& job = state.job;
    GeoTiffInputs inputs;
    inputs.panPath = job.panPath;
    inputs.multiBandFile = ExtractsMultiBandFile(job);
    inputs.bandsInFile = inputs.multiBandFile ? State::kBands : 1;
    inputs.msPaths.assign(job.msPath.begin(),
                          inputs.multiBandFile ? job.msPath.begin() + 1 : job.msPath.end());
    inputs.msBandBytes =
        state.msWidth * state.msHeight * static_cast<std::int64_t>(sizeof(typename State::Sample));
    inputs.panToMsRatio = State::kRatio * State::kRatio;
    ExtractedInputs extracted;
    bool lengthCheckFailed = false;
    const StepResult result =
        ExtractGeoTiffInputs(inputs, temps, state.host, extracted, lengthCheckFailed);
    if (result != StepResult::Ok) {
        temps.RemoveTemporaries();
        if (lengthCheckFailed) ResetInputs(state.job);
        return result;
    }
    state.panInput = extracted.pan;
    for (int band = 0; band < State::kBands; ++band) {
        state.msInput[band] = extracted.ms[inputs.multiBandFile ? 0 : band];
    }
    return StepResult::Ok;
}

// Writes the fused bands as one GeoTIFF of the reference's georeferencing: four 16-bit planes
// or three 8-bit ones, declaring the no-data value when there is one.
int WriteFusedPlanes(const std::string& reference, const FusedOutputs<4>& outputs,
                     std::optional<double> noData, Host& host)
{
    return WriteGeoTiff(reference, outputs.geoTiff, outputs.data[0], outputs.data[1],
                        outputs.data[2], outputs.data[3], 2, true, host, noData);
}

int WriteFusedPlanes(const std::string& reference, const FusedOutputs<3>& outputs,
                     std::optional<double> noData, Host& host)
{
    return WriteGeoTiff(reference, outputs.geoTiff, outputs.data[0], outputs.data[1],
                        outputs.data[2], 1, false, host, noData);
}

// Step 6: the fused bands as one GeoTIFF with the pan's georeferencing.
template <typename State>
StepResult WriteFusedGeoTiff(State& state)
{
    bool closed = true;
    for (auto& file : state.fused) closed = file.Close() && closed;
    if (!closed) {
        state.host.ShowMessage(kWriteFailure);
        return StepResult::Failed;
    }
    const std::string& reference = state.job.batchMode ? state.job.geoReference : state.job.panPath;
    if (WriteFusedPlanes(reference, state.outputs, FusedNoData(state.job), state.host) == 1) {
        return StepResult::Ok;
    }
    return state.Pump() ? StepResult::Failed : StepResult::Cancelled;
}

// The fused bands into the one multi-band result.
template <typename State>
StepResult WriteResultFile(State& state, RunFiles& files)
{
    bool closed = true;
    for (auto& file : state.fused) closed = file.Close() && closed;
    if (!closed) {
        state.host.ShowMessage(kWriteFailure);
        return StepResult::Failed;
    }
    const std::vector<std::string> bandFiles(state.outputs.data.begin(), state.outputs.data.end());
    const std::vector<std::string> names(kBandLabels, kBandLabels + State::kBands);
    const RunOutcome outcome = WriteBandResult(
        *state.bandResult, bandFiles, names, state.job.panPath, static_cast<int>(state.width),
        static_cast<int>(state.height), FusedNoData(state.job), files,
        [&state] { return state.Pump(); }, state.host);
    if (outcome == RunOutcome::Finished) return StepResult::Ok;
    return outcome == RunOutcome::Cancelled ? StepResult::Cancelled : StepResult::Failed;
}

// The run after its report sections: outputs, the analytical steps and the report end.
template <typename State>
class AnalyticalRun {
public:
    AnalyticalRun(State& state, RunFiles& files)
        : m_state(state), m_files(files), m_steps(state.host)
    {
    }
    RunOutcome Run();

private:
    void AnnounceSteps(bool geoTiff);
    StepResult RunInputSteps(bool geoTiff);
    StepResult RunOutputSteps();
    RunOutcome Fail(StepResult result);
    RunOutcome Finish(std::time_t start, std::time_t postProcessing);

    State& m_state;
    RunFiles& m_files;
    RunSteps m_steps;
};

// The steps this run takes, with their rough shares of its time.
template <typename State>
void AnalyticalRun<State>::AnnounceSteps(bool geoTiff)
{
    if (geoTiff) m_steps.Add(kExtractStep, 10);
    m_steps.Add(kFitStep, 5);
    m_steps.Add(kFuseStep, 45);
    m_steps.Add(kPostProcessStep, 10);
    m_steps.Add(kHeaderStep, 1);
    if (WritesBmp(m_state.job)) m_steps.Add(kBmpStep, 15);
    if (WritesPlanes(m_state)) m_steps.Add(kGeoTiffStep, 15);
    if (m_state.bandResult) m_steps.Add(kResultStep, 15);
    m_steps.Announce();
}

template <typename State>
RunOutcome AnalyticalRun<State>::Fail(StepResult result)
{
    if (result == StepResult::Cancelled) {
        m_state.log.Append(kCancelled);
        return RunOutcome::Cancelled;
    }
    if (result == StepResult::Implausible) {
        m_state.log.Append(kUnfortunate);
        if (m_state.job.method == FusionMethod::Optimisation1) ResetInputs(m_state.job);
    } else {
        m_state.log.Append(kStepUnsuccessful);
    }
    return RunOutcome::Stopped;
}

// Step 0 for GeoTIFF inputs and Step 1 (with the input stretch limits when colours match).
template <typename State>
StepResult AnalyticalRun<State>::RunInputSteps(bool geoTiff)
{
    State& state = m_state;
    StepResult result = StepResult::Ok;
    if (geoTiff) {
        m_steps.Begin(kExtractStep);
        state.log.Append("    Step 0: ......");
        if ((result = ExtractInputs(state, m_files)) != StepResult::Ok) return result;
        state.log.Append("\tFinished (GeoTIFF image input)\r\n");
    }
    m_steps.Begin(kFitStep);
    state.log.Append("    Step 1: .");
    if ((result = EstimateCoefficients(state)) != StepResult::Ok) return result;
    state.log.Append(kFinished);
    if (state.job.colourMatch) return ComputeInputStretchLimits(state);
    return StepResult::Ok;
}

// Steps 4 to 6: the result headers, the picture and the GeoTIFF.
template <typename State>
StepResult AnalyticalRun<State>::RunOutputSteps()
{
    State& state = m_state;
    m_steps.Begin(kHeaderStep);
    if (!WriteResultHeaders(state)) return StepResult::Failed;
    state.log.Append("    Step 4: ......");
    state.log.Append(kFinished);
    StepResult result = StepResult::Ok;
    const bool bmp = WritesBmp(state.job);
    if (bmp) {
        m_steps.Begin(kBmpStep);
        state.log.Append("    Step 5: ......");
        if ((result = WriteFusedBmp(state)) != StepResult::Ok) return result;
        state.log.Append("\tFinished (24-bit BMP output)\r\n");
    }
    if (WritesPlanes(state)) {
        m_steps.Begin(kGeoTiffStep);
        state.log.Append(bmp ? "    Step 6: ......" : "    Step 5: ......");
        if ((result = WriteFusedGeoTiff(state)) != StepResult::Ok) return result;
        state.log.Append("\tFinished (GeoTIFF image output)\r\n");
    }
    if (state.bandResult) {
        m_steps.Begin(kResultStep);
        if ((result = WriteResultFile(state, m_files)) != StepResult::Ok) return result;
    }
    return StepResult::Ok;
}

template <typename State>
RunOutcome AnalyticalRun<State>::Run()
{
    State& state = m_state;
    const std::time_t start = std::time(nullptr);
    WaitCursorScope busy(state.host);
    state.log.Append("\r\n(e) Analytical Steps \r\n");
    LocateInputs(state);
    const bool geoTiff = state.outputs.kind == PanOutputKind::GeoTiff;
    AnnounceSteps(geoTiff);
    StepResult result = RunInputSteps(geoTiff);
    if (result != StepResult::Ok) return Fail(result);

    m_steps.Begin(kFuseStep);
    state.log.Append("    Step 2: ......");
    if ((result = FuseStrips(state)) != StepResult::Ok) return Fail(result);
    state.log.Append(kFinished);
    const std::time_t postProcessing = std::time(nullptr);

    m_steps.Begin(kPostProcessStep);
    state.log.Append("    Step 3: ");
    if ((result = PostProcessBands(state)) != StepResult::Ok) return Fail(result);
    state.log.Append(kFinished);
    if ((result = RunOutputSteps()) != StepResult::Ok) return Fail(result);
    m_files.RemoveTemporaries();
    return Finish(start, postProcessing);
}

template <typename State>
RunOutcome AnalyticalRun<State>::Finish(std::time_t start, std::time_t postProcessing)
{
    bool closed = true;
    for (auto& file : m_state.fused) closed = file.Close() && closed;
    // Only a complete run puts its outputs under their final names.
    if (!closed || !m_files.Commit()) {
        m_state.host.ShowMessage(RunFiles::kCannotWriteOutput);
        return Fail(StepResult::Failed);
    }
    // The picture lies on the pan's grid: it takes the pan's place on the ground.
    if (WritesBmp(m_state.job)) WriteWorldFilesFromInput(m_state.job.bmpName, m_state.job.panPath);
    WriteReportEnd(m_state.log, start, postProcessing, std::time(nullptr));
    if (m_state.job.displayBmp) m_state.host.OpenInViewer(ViewerKind::Picture, m_state.job.bmpName);
    return RunOutcome::Finished;
}

template <typename State>
RunOutcome RunValidated(typename State::Job& job, std::optional<BandResult> bandResult,
                        RunCounters& counters, Host& host)
{
    RunLog log(counters, host);
    const auto progress = OpenPanSharpeningReport(log, host);
    State state(job, host, log, *progress);
    state.width = job.width;
    state.height = job.height;
    state.msWidth = job.width / State::kRatio;
    state.msHeight = job.height / State::kRatio;
    state.outputs = DeriveJobOutputs(job);
    state.bandResult = std::move(bandResult);

    if (!WriteInputSections(state)) {
        log.Append(kUnsuccessful);
        return RunOutcome::Stopped;
    }
    WriteParameters(job, RegisterInputs(state), log);
    WriteOutputSection(job, state.outputs,
                       state.bandResult ? state.bandResult->path : std::string(), log);
    const std::vector<std::string> targets = OutputTargets(state);
    if (!ConfirmOutputs(state, targets)) {
        log.Append(kUnsuccessful);
        return RunOutcome::Stopped;
    }
    RunFiles files;  // every file below is the run's own and goes unless the run finishes
    if (!CreateOutputFiles(state, files)) {
        log.Append(kUnsuccessful);
        return RunOutcome::Stopped;
    }
    return AnalyticalRun<State>(state, files).Run();
}

template <typename State>
RunOutcome RunFusion(typename State::Job& job, RunCounters& counters, Host& host)
{
    WaitCursorScope busy(host);
    if (!ValidateJob(job, host)) return RunOutcome::Stopped;
    std::optional<BandResult> bandResult;
    if (!NameResult(job, bandResult, host)) return RunOutcome::Stopped;
    try {
        return RunValidated<State>(job, std::move(bandResult), counters, host);
    } catch (const std::bad_alloc&) {
        host.ShowMessage("Error: reading image file - Cannot allocate memory");
        host.AppendLog(kStepUnsuccessful);
        return RunOutcome::Stopped;
    }
}

}  // namespace

RunOutcome RunPanSharpen(PanSharpenJob& job, RunCounters& counters, Host& host)
{
    if (job.delivery.Active()) return RunDelivery(job, counters, host);
    return RunFusion<PanRunState>(job, counters, host);
}

RunOutcome RunEtmPanSharpen(EtmJob& job, RunCounters& counters, Host& host)
{
    return RunFusion<EtmRunState>(job, counters, host);
}

}  // namespace lumesta
