#include "assess/quality_table.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <limits>

namespace lumesta {
namespace {

std::string Chars(double value, std::chars_format format, int precision)
{
    if (!std::isfinite(value)) return "nan";
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, format, precision);
    return std::string(buffer, result.ptr);
}

struct Column {
    std::string name;
    double value;
};

std::vector<Column> ColumnsOf(const QualityRow& row, QualityKind kind)
{
    if (kind == QualityKind::Full) {
        return {{"D_lambda", row.full.dLambda}, {"D_s", row.full.dS}, {"QNR", row.full.qnr}};
    }
    std::vector<Column> columns = {{"ERGAS", row.reduced.ergas},
                                   {"SAM", row.reduced.sam},
                                   {"Q2n", row.reduced.q2n},
                                   {"Q", row.reduced.q},
                                   {"SCC", row.reduced.scc}};
    for (std::size_t k = 0; k < row.reduced.qBands.size(); ++k) {
        columns.push_back({"Q_" + std::to_string(k + 1), row.reduced.qBands[k]});
    }
    return columns;
}

bool AnyMethod(const std::vector<QualityRow>& rows)
{
    for (const QualityRow& row : rows) {
        if (!row.method.empty()) return true;
    }
    return false;
}

std::string Padded(const std::string& text, std::size_t width)
{
    return text.size() >= width ? text + " " : text + std::string(width - text.size(), ' ');
}

// The report block's table: every row in the protocol's order, six decimals.
std::string Report(const std::vector<QualityRow>& rows, QualityKind kind)
{
    constexpr std::size_t kWidth = 12;
    const bool methods = AnyMethod(rows);
    std::string out;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const auto columns = ColumnsOf(rows[r], kind);
        if (r == 0) {
            std::string header = methods ? Padded("method", 8) : std::string();
            for (const Column& column : columns) header += Padded(column.name, kWidth);
            out += header.substr(0, header.find_last_not_of(' ') + 1) + "\n";
        }
        std::string line = methods ? Padded(rows[r].method, 8) : std::string();
        for (const Column& column : columns) line += Padded(ShortNumber(column.value), kWidth);
        out += line.substr(0, line.find_last_not_of(' ') + 1) + "\n";
    }
    return out;
}

bool LowerIsBetter(const std::string& name)
{
    return name == "ERGAS" || name == "SAM" || name == "D_lambda" || name == "D_s";
}

int DecimalsOf(const std::string& name)
{
    return name == "ERGAS" || name == "SAM" ? 3 : 4;
}

// The row order people read: the ranking metric best first, unmeasured rows last, ties kept.
std::vector<std::size_t> ReadingOrder(const std::vector<QualityRow>& rows, QualityKind kind)
{
    std::vector<std::size_t> order(rows.size());
    for (std::size_t r = 0; r < rows.size(); ++r) order[r] = r;
    const auto rank = [&rows, kind](std::size_t r) {
        const double value = kind == QualityKind::Full ? rows[r].full.qnr : rows[r].reduced.q2n;
        return std::isfinite(value) ? value : -std::numeric_limits<double>::infinity();
    };
    std::stable_sort(order.begin(), order.end(),
                     [&rank](std::size_t a, std::size_t b) { return rank(a) > rank(b); });
    return order;
}

// Marks the best finite value of the column, when more than one row holds one.
void MarkBest(ReadableColumn& column)
{
    column.best.assign(column.values.size(), false);
    std::size_t finite = 0;
    double best = 0;
    for (double value : column.values) {
        if (!std::isfinite(value)) continue;
        if (finite++ == 0 || (column.lowerIsBetter ? value < best : value > best)) best = value;
    }
    if (finite < 2) return;
    for (std::size_t r = 0; r < column.values.size(); ++r)
        column.best[r] = column.values[r] == best;
}

std::string PaddedRight(const std::string& text, std::size_t width)
{
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

// The readable table as aligned text: names, which way is better, the rows with "*" at each
// column's best value, and a note on the mark.
std::string Text(const std::vector<QualityRow>& rows, QualityKind kind)
{
    const ReadableQualityTable table = MakeReadableQualityTable(rows, kind);
    const bool methods = AnyMethod(rows);
    std::vector<std::vector<std::string>> lines(table.methods.size() + 2);
    lines[0].push_back(methods ? "method" : "");
    lines[1].push_back("(better)");
    for (std::size_t r = 0; r < table.methods.size(); ++r) lines[r + 2].push_back(table.methods[r]);
    for (const ReadableColumn& column : table.columns) {
        lines[0].push_back(column.name);
        lines[1].push_back(column.lowerIsBetter ? "lower" : "higher");
        for (std::size_t r = 0; r < column.cells.size(); ++r)
            lines[r + 2].push_back(column.cells[r] + (column.best[r] ? "*" : ""));
    }
    std::vector<std::size_t> widths(lines[0].size(), 0);
    for (const auto& line : lines) {
        for (std::size_t c = 0; c < line.size(); ++c)
            widths[c] = std::max(widths[c], line[c].size());
    }
    std::string out;
    for (const auto& line : lines) {
        std::string text;
        for (std::size_t c = 0; c < line.size(); ++c) text += PaddedRight(line[c], widths[c] + 2);
        out += text.substr(0, text.find_last_not_of(' ') + 1) + "\n";
    }
    if (table.AnyBest()) out += "* the best value of its column\n";
    return out;
}

std::string Json(const std::vector<QualityRow>& rows, QualityKind kind)
{
    const bool methods = AnyMethod(rows);
    auto number = [](double value) {
        return std::isfinite(value) ? ExactNumber(value) : std::string("null");
    };
    std::string out = methods ? "[\n" : "";
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const QualityRow& row = rows[r];
        std::string object = methods ? "{\"method\": \"" + row.method + "\", " : "{";
        if (kind == QualityKind::Full) {
            object += "\"D_lambda\": " + number(row.full.dLambda) +
                      ", \"D_s\": " + number(row.full.dS) + ", \"QNR\": " + number(row.full.qnr);
        } else {
            object += "\"ERGAS\": " + number(row.reduced.ergas) +
                      ", \"SAM\": " + number(row.reduced.sam) +
                      ", \"Q2n\": " + number(row.reduced.q2n) +
                      ", \"Q\": " + number(row.reduced.q) +
                      ", \"SCC\": " + number(row.reduced.scc) + ", \"Q_bands\": [";
            for (std::size_t k = 0; k < row.reduced.qBands.size(); ++k) {
                object += (k ? ", " : "") + number(row.reduced.qBands[k]);
            }
            object += "]";
        }
        // The blocks whose statistics count: those without no data, of all.
        const bool full = kind == QualityKind::Full;
        object += ", \"blocks_used\": " +
                  std::to_string(full ? row.full.blocksUsed : row.reduced.blocksUsed) +
                  ", \"blocks_total\": " +
                  std::to_string(full ? row.full.blocksTotal : row.reduced.blocksTotal);
        object += ", \"seconds\": " + number(row.seconds) + "}";
        out += methods ? "  " + object + (r + 1 < rows.size() ? ",\n" : "\n") : object + "\n";
    }
    return methods ? out + "]\n" : out;
}

std::string Csv(const std::vector<QualityRow>& rows, QualityKind kind)
{
    const bool methods = AnyMethod(rows);
    std::string out;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const auto columns = ColumnsOf(rows[r], kind);
        if (r == 0) {
            out += methods ? "method" : "";
            for (std::size_t c = 0; c < columns.size(); ++c) {
                out += (methods || c ? "," : "") + columns[c].name;
            }
            out += ",seconds\n";
        }
        out += methods ? rows[r].method : "";
        for (std::size_t c = 0; c < columns.size(); ++c) {
            out += (methods || c ? "," : "") + ExactNumber(columns[c].value);
        }
        out += "," + ExactNumber(rows[r].seconds) + "\n";
    }
    return out;
}

}  // namespace

bool ReadableQualityTable::AnyBest() const
{
    for (const ReadableColumn& column : columns) {
        if (std::find(column.best.begin(), column.best.end(), true) != column.best.end())
            return true;
    }
    return false;
}

ReadableQualityTable MakeReadableQualityTable(const std::vector<QualityRow>& rows, QualityKind kind)
{
    ReadableQualityTable table;
    const std::vector<std::size_t> order = ReadingOrder(rows, kind);
    for (std::size_t r : order)
        table.methods.push_back(rows[r].label.empty() ? rows[r].method : rows[r].label);
    for (std::size_t r : order) {
        const std::vector<Column> columns = ColumnsOf(rows[r], kind);
        table.columns.resize(std::max(table.columns.size(), columns.size()));
        for (std::size_t c = 0; c < columns.size(); ++c) {
            ReadableColumn& column = table.columns[c];
            column.name = columns[c].name;
            column.lowerIsBetter = LowerIsBetter(column.name);
            column.values.push_back(columns[c].value);
            column.cells.push_back(
                Chars(columns[c].value, std::chars_format::fixed, DecimalsOf(column.name)));
        }
    }
    for (ReadableColumn& column : table.columns) MarkBest(column);
    if (!order.empty()) {
        const QualityRow& first = rows[order.front()];
        const double rank = kind == QualityKind::Full ? first.full.qnr : first.reduced.q2n;
        if (std::isfinite(rank)) table.bestMethod = first.method;
        table.bands = static_cast<int>(first.reduced.qBands.size());
    }
    return table;
}

bool SaveQualityTable(const std::string& path, const std::string& text, Host& host)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (out) return true;
    host.ShowMessage("Cannot write " + path + ".");
    return false;
}

std::string ExactNumber(double value)
{
    return Chars(value, std::chars_format::general, 17);
}
std::string ShortNumber(double value)
{
    return Chars(value, std::chars_format::fixed, 6);
}

std::string FormatQualityRows(const std::vector<QualityRow>& rows, QualityKind kind,
                              QualityFormat format)
{
    switch (format) {
        case QualityFormat::Json:
            return Json(rows, kind);
        case QualityFormat::Csv:
            return Csv(rows, kind);
        case QualityFormat::Report:
            return Report(rows, kind);
        case QualityFormat::Text:
            break;
    }
    return Text(rows, kind);
}

}  // namespace lumesta
