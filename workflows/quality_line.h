#pragma once
// The optional full-resolution quality line at the end of a pan-sharpening run's report:
// D_lambda, D_s and QNR of the fused bands against the run's own MS bands and pan.

#include <optional>

#include "core/host.h"
#include "core/run_log.h"
#include "fusion/etm_job.h"
#include "fusion/pansharpen_job.h"
#include "imaging/sensor_gains.h"
#include "workflows/quality_runs.h"

namespace lumesta {

// After a finished run of the job (not in batch mode), appends
// "Quality (full resolution):\tD_lambda X\tD_s Y\tQNR Z\r\n" to the log (six decimals, nan where
// a value cannot be computed). When the results cannot be read it shows the reader's message and
// appends "Quality (full resolution):\tnot measured\r\n". The pan is degraded with the sensor's
// pan gain.
void AppendQualityLine(const PanSharpenJob& job, const SensorGains& sensor, Host& host);
void AppendQualityLine(const EtmJob& job, const SensorGains& sensor, Host& host);

// The pan-sharpening runs as both hosts start them: with --method auto first the ranking that
// chooses the method (method_ranking.h), then the tool's run, then, when it finished, the
// quality line if the job asks for it (generic gains), and the run's files remembered for the
// quality tool's "last pan-sharpening run".
RunOutcome RunPanSharpenWithQuality(PanSharpenJob& job, RunCounters& counters, Host& host);
RunOutcome RunEtmPanSharpenWithQuality(EtmJob& job, RunCounters& counters, Host& host);

// The full-resolution measurement of the last pan-sharpening run that finished in this program
// (fused bands, MS, pan, ratio, generic sizes); nullopt before the first.
std::optional<QualityJob> LastPanSharpening();

// Fills the files job's protocol takes from the last pan-sharpening run: the fused bands
// (reduced), the fused bands with the run's MS and pan (full), or the run's MS and pan (Wald),
// with the run's ratio and generic sizes. The protocol, the sensor and the other fields stay.
// False, with job unchanged, before the first run.
bool TakeLastPanSharpening(QualityJob& job);

}  // namespace lumesta
