#include "assess/quality_table.h"

#include <charconv>
#include <cmath>
#include <fstream>

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

std::string Text(const std::vector<QualityRow>& rows, QualityKind kind)
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
        case QualityFormat::Text:
            break;
    }
    return Text(rows, kind);
}

}  // namespace lumesta
