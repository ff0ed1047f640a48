#pragma once
// The fusion quality tool: measuring a fused image at reduced resolution (against a
// reference) or at full resolution (against the MS and pan it came from), the reduced-
// resolution protocol that degrades a scene, fuses it with each method and measures the
// results, and the degradation alone for other tools. The command line and the desktop dialog
// fill a QualityJob and call RunQuality.

#include <ctime>
#include <string>
#include <vector>

#include "assess/quality_table.h"
#include "core/host.h"
#include "core/run_log.h"
#include "raster/sample_raster.h"

namespace lumesta {

enum class QualityProtocol { Reduced, Full, Wald, Degrade };

struct QualityJob {
    QualityProtocol protocol = QualityProtocol::Reduced;
    std::vector<std::string> fused;      // reduced, full
    std::vector<std::string> reference;  // reduced
    std::vector<std::string> ms;         // full, wald, degrade
    std::string pan;                     // full, wald, degrade
    GenericSize generic;                 // for headerless matrices
    int ratio = 4;
    int cut = 0;                       // reduced: pixels left out at every border
    std::string sensor = "generic";    // full, wald, degrade
    std::vector<std::string> methods;  // wald: empty for every method that fits
    std::string keepFolder;            // wald: degraded inputs and fused results
    std::string outFolder;             // degrade
    std::string mapPath;               // reduced, full: per-block map as a float TIFF
};

// Runs the job: checks the inputs (a message and Stopped for sizes that disagree, a ratio that is
// not a power of two, sides that are not multiples of the ratio, band counts that differ,
// unreadable or truncated files), computes, writes the optional files, and appends a report
// block to the log (banner, inputs, results, closing line). rows receives the results.
// Cancelled at the next block row after the host's cancel. Nothing is written on failure.
RunOutcome RunQuality(const QualityJob& job, RunCounters& counters, Host& host,
                      std::vector<QualityRow>& rows);

// The report block's opening (banner, protocol, inputs) and, after success, its results,
// times and closing line.
void WriteQualityReportHead(const QualityJob& job, RunLog& log);
void WriteQualityReportEnd(const QualityJob& job, const std::vector<QualityRow>& rows,
                           std::time_t start, RunLog& log);

// The kind of result a protocol gives (degrade gives none).
QualityKind KindOf(QualityProtocol protocol);

}  // namespace lumesta
