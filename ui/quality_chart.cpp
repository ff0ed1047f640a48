#include "ui/quality_chart.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QCursor>
#include <QHBoxLayout>
#include <QToolTip>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <vector>

#include "assess/quality_table.h"
#include "ui/text.h"

namespace lumesta {
namespace {

constexpr int kBestDarkness = 220;  // QColor::darker's factor for a best bar

QChartView* MakeView(QWidget* parent)
{
    auto* view = new QChartView(parent);
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumSize(320, 300);
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
    m_lower = MakeView(this);
    m_higher = MakeView(this);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(m_lower, 2);
    row->addWidget(m_higher, 5);
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
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->legend()->setVisible(!lowerIsBetter);  // one legend for both charts
    std::vector<const ReadableColumn*> columns;
    QStringList categories;
    for (const ReadableColumn& column : table.columns) {
        if (column.lowerIsBetter != lowerIsBetter) continue;
        columns.push_back(&column);
        categories << ToQt(column.name) + (lowerIsBetter ? " \u2193" : " \u2191");
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
    chart->addSeries(series);  // gives every set its colour
    for (std::size_t r = 0; r < sets.size(); ++r) {
        sets[r]->setSelectedColor(sets[r]->color().darker(kBestDarkness));
        for (std::size_t c = 0; c < columns.size(); ++c) {
            if (columns[c]->best[r]) sets[r]->selectBar(static_cast<int>(c));
        }
    }
    auto* categoryAxis = new QBarCategoryAxis;
    categoryAxis->append(categories);
    chart->addAxis(categoryAxis, Qt::AlignBottom);
    series->attachAxis(categoryAxis);
    QValueAxis* valueAxis = MakeValueAxis(lowest, highest, lowerIsBetter);
    chart->addAxis(valueAxis, Qt::AlignLeft);
    series->attachAxis(valueAxis);
    return chart;
}

}  // namespace lumesta
