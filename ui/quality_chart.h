#pragma once
// The results of a Wald run as bar charts: one bar group per metric, one colour per method
// (named in the legend), a star above each metric's best bar. The metrics where lower is better
// and those where higher is better have a chart each, on their own scales.

#include <QWidget>

class QChart;
class QChartView;

namespace lumesta {

struct ReadableQualityTable;

class QualityChart : public QWidget {
public:
    explicit QualityChart(QWidget* parent);

    // Shows the table's rows (empty charts without methods to compare).
    void Show(const ReadableQualityTable& table);

    QChartView* LowerView() const { return m_lower; }
    QChartView* HigherView() const { return m_higher; }

private:
    QChart* MakeChart(const ReadableQualityTable& table, bool lowerIsBetter) const;

    QChartView* m_lower = nullptr;
    QChartView* m_higher = nullptr;
};

}  // namespace lumesta
