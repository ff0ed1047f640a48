#include "core/run_log.h"

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

}  // namespace lumesta
