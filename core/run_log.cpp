#include "core/run_log.h"

#include "core/time_stamp.h"

namespace lumesta {

std::int32_t RunCounters::GetTotalRunCount() const
{
    std::int32_t total = 0;
    for (std::int32_t count : m_counts) total += count;
    return total;
}

std::int32_t RunLog::OpenBlock(Tool tool)
{
    m_host.AppendLog(m_counters.GetTotalRunCount() == 0 ? "Log File: \r\n\r\n" : "\r\n");
    return m_counters.Increment(tool);
}

void RunLog::AppendLines(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    Append(out);
}

void RunLog::AppendTimesAndFinish(const std::string& section, std::time_t start)
{
    const std::time_t end = std::time(nullptr);
    Append("\r\n" + section + " Seconds spent:\t" +
           std::to_string(static_cast<long long>(end - start)) + " s\r\n");
    Append("    Start time:\t\t" + TimeStamp(start) + "\r\n");
    Append("    End time:\t\t" + TimeStamp(end) + "\r\n");
    Append("\tFinished\r\n");
}

}  // namespace lumesta
