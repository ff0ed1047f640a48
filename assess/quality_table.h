#pragma once
// The results of the quality tools as text: a table to read, JSON or CSV on standard output,
// and the rows of the report block in the log. Numbers are written without locale; a metric
// that could not be computed is "nan" (text, CSV) or null (JSON).

#include <string>
#include <vector>

#include "assess/quality_metrics.h"
#include "core/host.h"

namespace lumesta {

// Text: the table people read (see ReadableQualityTable). Json and Csv: every digit, the
// --method names in the protocol's order. Report: the report block's aligned table, six decimals.
enum class QualityFormat { Text, Json, Csv, Report };
enum class QualityKind { Reduced, Full };

// One line of results: a method of the protocol (empty name for a plain measurement).
struct QualityRow {
    std::string method;  // the --method name
    std::string label;   // the method as the dialogs name it; empty: the --method name
    ReducedMetrics reduced;
    FullMetrics full;
    double seconds = 0;
};

// The rows in the format, each line ended by "\n" (JSON: one object per row, in an array when
// any row names a method).
std::string FormatQualityRows(const std::vector<QualityRow>& rows, QualityKind kind,
                              QualityFormat format);

// One column of the table people read.
struct ReadableColumn {
    std::string name;  // "ERGAS"
    bool lowerIsBetter = false;
    std::vector<double> values;      // every digit, in the table's row order
    std::vector<std::string> cells;  // rounded as people read them ("nan" when not finite)
    std::vector<bool> best;          // the column's best value (marked when rows compare)
};

// The results as people read them: methods named as the dialogs name them and sorted by Q2n
// (QNR at full resolution), best first, rows that could not be measured last; ERGAS and SAM
// with 3 decimals, the Q family, SCC, D_lambda, D_s and QNR with 4. With more than one row,
// each column marks its best value (every row that reaches it).
struct ReadableQualityTable {
    std::vector<std::string> methods;  // the row names (empty for a plain measurement)
    std::vector<ReadableColumn> columns;
    std::string bestMethod;  // the --method name of the first row, when it could be measured
    int bands = 0;           // the bands each result holds
    bool AnyBest() const;
};
ReadableQualityTable MakeReadableQualityTable(const std::vector<QualityRow>& rows,
                                              QualityKind kind);

// Writes text (a CSV table) to path, replacing it. False after "Cannot write PATH.".
bool SaveQualityTable(const std::string& path, const std::string& text, Host& host);

// A number with 17 significant digits ("nan" when not finite).
std::string ExactNumber(double value);
// A number with 6 decimals ("nan" when not finite).
std::string ShortNumber(double value);

}  // namespace lumesta
