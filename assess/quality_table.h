#pragma once
// The results of the quality tools as text: an aligned table, JSON or CSV on standard output,
// and the rows of the report block in the log. Numbers are written without locale; a metric
// that could not be computed is "nan" (text, CSV) or null (JSON).

#include <string>
#include <vector>

#include "assess/quality_metrics.h"
#include "core/host.h"

namespace lumesta {

enum class QualityFormat { Text, Json, Csv };
enum class QualityKind { Reduced, Full };

// One line of results: a method of the protocol (empty name for a plain measurement).
struct QualityRow {
    std::string method;
    ReducedMetrics reduced;
    FullMetrics full;
    double seconds = 0;
};

// The rows in the format, each line ended by "\n" (JSON: one object per row, in an array when
// any row names a method).
std::string FormatQualityRows(const std::vector<QualityRow>& rows, QualityKind kind,
                              QualityFormat format);

// Writes text (a CSV table) to path, replacing it. False after "Cannot write PATH.".
bool SaveQualityTable(const std::string& path, const std::string& text, Host& host);

// A number with 17 significant digits ("nan" when not finite).
std::string ExactNumber(double value);
// A number with 6 decimals ("nan" when not finite).
std::string ShortNumber(double value);

}  // namespace lumesta
