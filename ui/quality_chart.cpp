#include "ui/quality_chart.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QCursor>
#include <QHBoxLayout>
#include <QScatterSeries>
#include <QToolTip>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <vector>

#include "assess/quality_table.h"
#include "ui/text.h"

namespace lumesta {
namespace {

// The higher-is-better chart has the legend and most metrics.
constexpr int kLowerChartWidth = 290;
constexpr int kHigherChartWidth = 640;
constexpr int kChartHeight = 340;

constexpr double kGroupWidth = 0.8;   // of a category, taken by its bar group
constexpr double kMarkerLift = 0.03;  // of the value axis's span, between a bar and its star

// Where the bar of row r (of rows) in category c stands on the category axis, whose categories
// stand at 0, 1, 2, ...
double BarCentre(std::size_t c, std::size_t r, std::size_t rows)
{
    return static_cast<double>(c) - kGroupWidth / 2 +
           (static_cast<double>(r) + 0.5) * kGroupWidth / static_cast<double>(rows);
}

QChartView* MakeView(int width, QWidget* parent)
{
    auto* view = new QChartView(parent);
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumSize(width, kChartHeight);
    return view;
}

// The value axis: from zero where lower is better; higher-is-better values (the Q family,
// near 1) from a little below the lowest, so that their differences show.
QValueAxis* MakeValueAxis(double lowest, double highest, bool lowerIsBetter)
{
    auto* axis = new QValueAxis;
    if (lowerIsBetter) {
        axis->setRange(0, highest > 0 ? highest * 1.1 : 1);
    } else {
        const double floor = std::floor(std::min(lowest, highest) * 20 - 1) / 20;
        axis->setRange(std::max(0.0, std::min(floor, highest)), std::max(highest, 1.0));
    }
    axis->applyNiceNumbers();
    return axis;
}

}  // namespace

QualityChart::QualityChart(QWidget* parent) : QWidget(parent)
{
    m_lower = MakeView(kLowerChartWidth, this);
    m_higher = MakeView(kHigherChartWidth, this);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(m_lower, kLowerChartWidth);
    row->addWidget(m_higher, kHigherChartWidth);
}

void QualityChart::Show(const ReadableQualityTable& table)
{
    for (auto [view, lower] : {std::pair{m_lower, true}, std::pair{m_higher, false}}) {
        QChart* old = view->chart();
        view->setChart(MakeChart(table, lower));
        delete old;
    }
}

QChart* QualityChart::MakeChart(const ReadableQualityTable& table, bool lowerIsBetter) const
{
    auto* chart = new QChart;
    chart->setTitle(lowerIsBetter ? "Lower is better" : "Higher is better");
    chart->legend()->setAlignment(Qt::AlignRight);
    chart->legend()->setVisible(!lowerIsBetter);  // one legend for both charts
    std::vector<const ReadableColumn*> columns;
    QStringList categories;
    for (const ReadableColumn& column : table.columns) {
        if (column.lowerIsBetter != lowerIsBetter) continue;
        columns.push_back(&column);
        categories << ToQt(column.name);  // the chart's title says which way is better
    }
    auto* series = new QBarSeries;
    double lowest = INFINITY;
    double highest = 0;
    std::vector<QBarSet*> sets;
    for (std::size_t r = 0; r < table.methods.size(); ++r) {
        auto* set = new QBarSet(ToQt(table.methods[r]));
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const double value = columns[c]->values[r];
            *set << (std::isfinite(value) ? value : 0.0);
            if (!std::isfinite(value)) continue;
            lowest = std::min(lowest, value);
            highest = std::max(highest, value);
        }
        QObject::connect(set, &QBarSet::hovered, set, [set, columns, r](bool on, int index) {
            if (!on) return;
            const ReadableColumn& column = *columns[static_cast<std::size_t>(index)];
            QToolTip::showText(QCursor::pos(), set->label() + ": " + ToQt(column.name) + " " +
                                                   ToQt(column.cells[r]) +
                                                   (column.best[r] ? " (best)" : ""));
        });
        series->append(set);
        sets.push_back(set);
    }
    series->setBarWidth(kGroupWidth);
    chart->addSeries(series);
    // A star above each metric's best bar (selected, too, for whoever reads the series).
    auto* best = new QScatterSeries;
    best->setName("Best");
    best->setMarkerShape(QScatterSeries::MarkerShapeStar);
    best->setMarkerSize(14);
    best->setColor(Qt::black);
    best->setBorderColor(Qt::black);
    QValueAxis* valueAxis = MakeValueAxis(lowest, highest, lowerIsBetter);
    const double lift = (valueAxis->max() - valueAxis->min()) * kMarkerLift;
    for (std::size_t r = 0; r < sets.size(); ++r) {
        for (std::size_t c = 0; c < columns.size(); ++c) {
            if (!columns[c]->best[r]) continue;
            sets[r]->selectBar(static_cast<int>(c));
            best->append(BarCentre(c, r, sets.size()), columns[c]->values[r] + lift);
        }
    }
    for (QBarSet* set : sets) set->setSelectedColor(set->color());
    chart->addSeries(best);
    auto* categoryAxis = new QBarCategoryAxis;
    categoryAxis->append(categories);
    chart->addAxis(categoryAxis, Qt::AlignBottom);
    chart->addAxis(valueAxis, Qt::AlignLeft);
    for (QAbstractSeries* each :
         {static_cast<QAbstractSeries*>(series), static_cast<QAbstractSeries*>(best)}) {
        each->attachAxis(categoryAxis);
        each->attachAxis(valueAxis);
    }
    return chart;
}

}  // namespace lumesta
