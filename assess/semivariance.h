#pragma once
// The semivariance run: γ(h) = Σ (x_a − x_b)² / (2·N(h)) for lags 1..L at 0°, 45°, 90° and 135°,
// written as a tab-separated table that then opens in the desktop's text editor.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/host.h"
#include "core/run_log.h"
#include "assess/semivariance_job.h"

namespace lumesta {

// The results of a run, per orientation in the order 0°, 45°, 90°, 135° (the order of
// Orientation); entry h − 1 belongs to lag h.
struct SemivarianceTable {
    std::array<std::vector<std::int64_t>, 4> pairs;
    std::array<std::vector<double>, 4> gamma;
};

// The OK handler. Validates the job (messages "Please input file names", "Please input width
// and height.", "Please input the max lag number." (also for a negative lag), the size limits
// 32 and 40000, "Image is too small, or the max. lag is too large."), writes the report block,
// decides the sample kind ("Check the file size of the input image."), asks before replacing
// the table, computes with the progress window (Cancel and Escape take the cancel path: no
// table) and writes the table. Memory that cannot be had and an input that cannot be opened
// end with their message and "Unsucessful". Returns Finished, Stopped or Cancelled.
RunOutcome ComputeSemivariance(SemivarianceJob& job, RunCounters& counters, Host& host);

// Writes the table: a header line and one line per lag, tab-separated, CR LF line ends.
// "Error - output text!" when the file cannot be created or written (nothing stays behind);
// false then.
bool WriteSemivarianceTable(const std::string& path, const SemivarianceTable& table, Host& host);

}  // namespace lumesta
