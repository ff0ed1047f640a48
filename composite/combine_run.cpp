#include "composite/combine_run.h"

#include <cstdio>
#include <new>

#include "composite/combine_report.h"
#include "composite/combine_steps.h"
#include "core/allocate.h"
#include "core/run_steps.h"
#include "core/wait_cursor.h"
#include "raster/world_file.h"

namespace lumesta {
namespace {

const std::string kDeclined = "\r\nUnsucessful\r\n\r\n";
const std::string kUnsuccessful = "\r\n\r\nUnsuccessful\r\n";
const std::string kCancelled = "\r\nCancelled\r\n\r\n";

// The closing line of a step that did not finish, and the run's outcome.
RunOutcome EndEarly(CombineRunState& state, StepResult result)
{
    if (result == StepResult::Cancelled) {
        for (auto& file : state.files) file.Close();
        // A cancelled run leaves none of its files behind.
        state.runFiles.RemoveNow();
        state.log.Append(kCancelled);
        return RunOutcome::Cancelled;
    }
    if (result == StepResult::Failed) state.log.Append(kUnsuccessful);
    return RunOutcome::Stopped;
}

// Where each band's samples are read: the inputs themselves, at each band's offset in a
// multi-band ENVI file.
void LocateBands(CombineRunState& state)
{
    const BandCombinationJob& job = state.job;
    const bool multiBandEnvi = job.inputKind == ".img" && HasMultiBandInput(job);
    for (int b = kCompositeBlue; b <= kCompositeRed; ++b) {
        state.readPath[b] = job.bandPath[b];
        state.byteOffset[b] = multiBandEnvi ? job.selectedIndex[b] * state.BandBytes() : 0;
    }
}

// The steps as the progress window names them, with their rough shares of the run's time.
const char kExtractStep[] = "Extracting the GeoTIFF inputs";
const char kCutoffStep[] = "Measuring the band histograms";
const char kBmpStep[] = "Writing the 24-bit BMP";
const char kGeoTiffStep[] = "Writing the GeoTIFF";

void AnnounceSteps(const BandCombinationJob& job, RunSteps& steps)
{
    if (job.inputKind == ".tif") steps.Add(kExtractStep, 2);
    steps.Add(kCutoffStep, 1);
    if (WritesCompositeBmp(job)) steps.Add(kBmpStep, 3);
    if (WritesCompositeGeoTiff(job)) steps.Add(kGeoTiffStep, 3);
    steps.Announce();
}

// Steps 0 to 2 and the end of the report.
RunOutcome Process(CombineRunState& state)
{
    const BandCombinationJob& job = state.job;
    RunLog& log = state.log;
    LocateBands(state);
    RunSteps steps(state.host);
    AnnounceSteps(job, steps);
    StepResult result = StepResult::Ok;
    if (job.inputKind == ".tif") {
        steps.Begin(kExtractStep);
        log.Append("    \tStep 0: ......");
        if ((result = ExtractGeoTiffInputs(state)) != StepResult::Ok)
            return EndEarly(state, result);
        log.Append("\tFinished (GeoTIFF image input)\r\n");
    }
    if ((result = OpenBandFiles(state)) != StepResult::Ok) return EndEarly(state, result);
    steps.Begin(kCutoffStep);
    if ((result = ComputeBandCutoffs(state)) != StepResult::Ok) return EndEarly(state, result);
    if (WritesCompositeBmp(job)) {
        steps.Begin(kBmpStep);
        log.Append("    \tStep 1: ......");
        if ((result = WriteCompositeBmp(state)) != StepResult::Ok) return EndEarly(state, result);
        log.Append("\tFinished (24-bit BMP output)\r\n");
    }
    if (WritesCompositeGeoTiff(job)) {
        steps.Begin(kGeoTiffStep);
        log.Append(job.outputs == CombineOutputs::GeoTiffOnly ? "    \tStep 1: ......"
                                                              : "    \tStep 2: ......");
        result = WriteCompositeGeoTiff(state);
    }
    state.runFiles.RemoveTemporaries();
    if (result != StepResult::Ok) return EndEarly(state, result);
    for (auto& file : state.files) file.Close();
    // Only a complete run puts its outputs under their final names.
    if (!state.runFiles.Commit()) {
        state.host.ShowMessage(RunFiles::kCannotWriteOutput);
        return EndEarly(state, StepResult::Failed);
    }
    // The composite lies on the blue band's grid.
    if (WritesCompositeBmp(job)) WriteWorldFilesFromInput(job.bmpPath, job.bluePath);
    if (state.geoTiffWritten) log.Append("\tFinished (GeoTIFF image output)\r\n");
    log.Append("\r\nNotes:\r\n");
    if (job.displayBmp && WritesCompositeBmp(job)) {
        state.host.OpenInViewer(ViewerKind::Picture, job.bmpPath);
    }
    return RunOutcome::Finished;
}

RunOutcome RunValidated(BandCombinationJob& job, RunCounters& counters, Host& host)
{
    RunLog log(counters, host);
    CombineRunState state(job, host, log);
    WriteCombineInputLines(state);
    if (!WriteCombineSizeSection(state)) return RunOutcome::Stopped;
    WriteCombineOutputSection(job, log);
    if (!ConfirmCombineOutputs(job, host)) {
        log.Append(kDeclined);
        return RunOutcome::Stopped;
    }
    log.Append("\r\n(c) Processing:\r\n");
    return Process(state);
}

}  // namespace

RunOutcome RunBandCombination(BandCombinationJob& job, RunCounters& counters, Host& host)
{
    WaitCursorScope busy(host);
    if (!ValidateCombineJob(job, host)) return RunOutcome::Stopped;
    try {
        return RunValidated(job, counters, host);
    } catch (const std::bad_alloc&) {
        // Buffers come from TryAllocate; this catches the small ones made on the way.
        host.ShowMessage(kCannotAllocate);
        host.AppendLog(kUnsuccessful);
        return RunOutcome::Stopped;
    }
}

}  // namespace lumesta
