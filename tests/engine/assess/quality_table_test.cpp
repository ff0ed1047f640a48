// The quality results as people read them: ranking, rounding, the best marks, and the machine
// formats left in the protocol's order with every digit.

#include "assess/quality_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace lumesta {
namespace {

QualityRow Row(const std::string& method, const std::string& label, double ergas, double q2n,
               double qBand)
{
    QualityRow row;
    row.method = method;
    row.label = label;
    row.reduced.ergas = ergas;
    row.reduced.sam = ergas;
    row.reduced.q2n = q2n;
    row.reduced.q = q2n;
    row.reduced.scc = q2n;
    row.reduced.qBands = {qBand};
    return row;
}

TEST(QualityTableTest, RowsAreRankedByQ2nWithTheBestOfEachColumnMarked)
{
    const double nan = std::nan("");
    const std::vector<QualityRow> rows = {Row("gsa", "Adaptive Gram-Schmidt (GSA)", 2.5, 0.91, 0.7),
                                          Row("1", "Optimisation 1", nan, nan, nan),
                                          Row("awlp", "AWLP", 2.0004, 0.95, 0.7),
                                          Row("2", "", 2.0004, 0.93, 0.6)};
    const ReadableQualityTable table = MakeReadableQualityTable(rows, QualityKind::Reduced);
    EXPECT_EQ(table.methods, (std::vector<std::string>{"AWLP", "2", "Adaptive Gram-Schmidt (GSA)",
                                                       "Optimisation 1"}));
    const ReadableColumn& ergas = table.columns[0];
    EXPECT_TRUE(ergas.lowerIsBetter);
    EXPECT_EQ(ergas.cells, (std::vector<std::string>{"2.000", "2.000", "2.500", "nan"}));
    EXPECT_EQ(ergas.best, (std::vector<bool>{true, true, false, false}));  // a tie marks both
    const ReadableColumn& q2n = table.columns[2];
    EXPECT_FALSE(q2n.lowerIsBetter);
    EXPECT_EQ(q2n.cells[0], "0.9500");
    EXPECT_EQ(q2n.best, (std::vector<bool>{true, false, false, false}));
    EXPECT_EQ(table.columns.back().name, "Q_1");
    EXPECT_EQ(table.columns.back().best, (std::vector<bool>{true, false, true, false}));

    const std::string text = FormatQualityRows(rows, QualityKind::Reduced, QualityFormat::Text);
    EXPECT_EQ(text.substr(0, text.find('\n')),
              "method                       ERGAS   SAM     Q2n      Q        SCC      Q_1");
    EXPECT_NE(text.find("\nAWLP                         2.000*  2.000*  0.9500*"),
              std::string::npos);
    EXPECT_NE(text.find("\n* the best value of its column\n"), std::string::npos);
    // The machine formats keep the --method names, the protocol's order and every digit.
    const std::string csv = FormatQualityRows(rows, QualityKind::Reduced, QualityFormat::Csv);
    EXPECT_EQ(csv.substr(csv.find('\n') + 1, 31), "gsa,2.5,2.5,0.91000000000000003");
}

TEST(QualityTableTest, OneMeasurementMarksNothing)
{
    QualityRow row;
    row.full.dLambda = 0.01234;
    row.full.dS = 0.05;
    row.full.qnr = 0.93826;
    const ReadableQualityTable table = MakeReadableQualityTable({row}, QualityKind::Full);
    ASSERT_EQ(table.columns.size(), 3u);
    EXPECT_TRUE(table.columns[1].lowerIsBetter);
    EXPECT_EQ(table.columns[2].cells, std::vector<std::string>{"0.9383"});
    EXPECT_FALSE(table.AnyBest());
    const std::string text = FormatQualityRows({row}, QualityKind::Full, QualityFormat::Text);
    EXPECT_EQ(text,
              "          D_lambda  D_s     QNR\n"
              "(better)  lower     lower   higher\n"
              "          0.0123    0.0500  0.9383\n");
}

}  // namespace
}  // namespace lumesta
