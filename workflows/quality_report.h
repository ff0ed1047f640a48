#pragma once
// The report block of the fusion quality tool.

#include <ctime>
#include <vector>

#include "assess/quality_table.h"
#include "core/run_log.h"
#include "workflows/quality_job.h"

namespace lumesta {

// The report block's opening (banner, protocol, inputs) and, after success, its results,
// times and closing line.
void WriteQualityReportHead(const QualityJob& job, RunLog& log);
void WriteQualityReportEnd(const QualityJob& job, const std::vector<QualityRow>& rows,
                           std::time_t start, RunLog& log);

// The kind of result a protocol gives (degrade gives none).
QualityKind KindOf(QualityProtocol protocol);

}  // namespace lumesta
