#pragma once
// The run log protocol shared by every tool: the run counters of the log document,
// opening a report block with its first line, and appending the report's pieces in order.

#include <array>
#include <cstdint>
#include <ctime>
#include <string>

#include "core/host.h"

namespace lumesta {

// The tools that number their reports; the 16-bit and Landsat pan-sharpening tools share one
// counter, and so do the 16-bit and 8-bit band combination tools.
enum class Tool {
    PanSharpening = 0,
    BandCombination,
    Semivariance,
    ImageStatistics,
    HaarWavelet,
    FusionQuality,
    Registration
};

// The counters of the log document; all 0 at program start, never reset afterwards.
class RunCounters {
public:
    std::int32_t Get(Tool tool) const { return m_counts[static_cast<int>(tool)]; }
    std::int32_t Increment(Tool tool) { return ++m_counts[static_cast<int>(tool)]; }
    std::int32_t GetTotalRunCount() const;

private:
    std::array<std::int32_t, 7> m_counts{};
};

// Appends one run's report block to the log through the host.
class RunLog {
public:
    RunLog(RunCounters& counters, Host& host) : m_counters(counters), m_host(host) {}

    // Writes "Log File: \r\n\r\n" before the first block of all, "\r\n" before any later one,
    // increments the tool's counter and returns its new value for the tool's banner line.
    std::int32_t OpenBlock(Tool tool);
    void Append(const std::string& text) { m_host.AppendLog(text); }
    // Text whose lines end in LF, each written with the log's CR LF.
    void AppendLines(const std::string& text);
    // A finished run's closing section: "\r\n" + section + " Seconds spent:", the start and
    // end times, and the finishing line.
    void AppendTimesAndFinish(const std::string& section, std::time_t start);

private:
    RunCounters& m_counters;
    Host& m_host;
};

}  // namespace lumesta
