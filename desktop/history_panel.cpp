#include "desktop/history_panel.h"

#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/text.h"

namespace lumesta {
namespace {

enum Column { kStarted, kTime, kOutcome, kTool, kJob, kColumns };
constexpr int kToolColumnWidth = 160;

// The job's options with files by their names (the tooltip has the whole command).
QString JobSummary(const JobCommand& command)
{
    QStringList words;
    for (const std::string& argument : command.arguments) {
        const QString word = ToQt(argument);
        words << (QFileInfo(word).isAbsolute() ? QFileInfo(word).fileName() : word);
    }
    return words.join(' ');
}

QString Duration(const RunRecord& record)
{
    const qint64 seconds = record.started.secsTo(record.ended);
    if (seconds < 60) return QString("%1 s").arg(seconds);
    return QString("%1 min %2 s").arg(seconds / 60).arg(seconds % 60);
}

}  // namespace

HistoryPanel::HistoryPanel(QWidget* parent) : QDockWidget("History", parent)
{
    setObjectName("History");
    auto* body = new QWidget(this);
    m_table = new QTableWidget(0, kColumns, body);
    m_table->setHorizontalHeaderLabels(
        {"Started", "Time", "Outcome", "Tool", "Inputs and choices"});
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setWordWrap(false);
    m_runAgain = new QPushButton("&Run again", body);
    m_showResult = new QPushButton("&Show result", body);
    m_copy = new QPushButton("&Copy command", body);
    m_runAgain->setToolTip("Opens the run's dialog with its inputs and choices");
    m_showResult->setToolTip("Shows what the run wrote: images in the viewer, tables as text");
    m_copy->setToolTip("Puts the lumesta-cli command of the run's job on the clipboard");

    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {m_runAgain, m_showResult, m_copy}) buttons->addWidget(button);
    buttons->addStretch();
    auto* column = new QVBoxLayout(body);
    column->setContentsMargins(4, 2, 4, 4);
    column->addLayout(buttons);
    column->addWidget(m_table, 1);
    setWidget(body);

    connect(m_runAgain, &QPushButton::clicked, this, [this] { OnRunAgain(); });
    connect(m_showResult, &QPushButton::clicked, this, [this] { OnShowResult(); });
    connect(m_copy, &QPushButton::clicked, this, [this] { OnCopyCommand(); });
    connect(m_table, &QTableWidget::cellDoubleClicked, this, [this] { OnRunAgain(); });
    connect(m_table, &QTableWidget::itemSelectionChanged, this, [this] { ShowChoice(); });
    Reload();
}

void HistoryPanel::SetActions(std::function<void(const JobCommand&)> runAgain,
                              std::function<void(const JobCommand&)> showResult)
{
    m_onRunAgain = std::move(runAgain);
    m_onShowResult = std::move(showResult);
}

void HistoryPanel::Reload()
{
    m_records.clear();
    for (const RunRecord& record : JobMemory::History()) m_records.push_front(record);
    ShowRecords();
}

void HistoryPanel::Add(const RunRecord& record)
{
    m_records.push_front(record);
    ShowRecords();
}

void HistoryPanel::SetRunAgainEnabled(bool enabled)
{
    m_runAgainAllowed = enabled;
    ShowChoice();
}

void HistoryPanel::ShowRecords()
{
    m_table->setRowCount(static_cast<int>(m_records.size()));
    for (int r = 0; r < m_records.size(); ++r) {
        const RunRecord& record = m_records[r];
        const QString cells[kColumns] = {record.started.toString("yyyy-MM-dd HH:mm"),
                                         Duration(record), record.outcome, record.title,
                                         JobSummary(record.command)};
        for (int c = 0; c < kColumns; ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            item->setToolTip(record.command.Text());
            m_table->setItem(r, c, item);
        }
    }
    m_table->resizeColumnsToContents();
    m_table->setColumnWidth(kTool, std::min(m_table->columnWidth(kTool), kToolColumnWidth));
    if (!m_records.isEmpty()) m_table->selectRow(0);
    m_table->horizontalScrollBar()->setValue(0);  // the row's selection scrolled to its end
    ShowChoice();
}

const RunRecord* HistoryPanel::Chosen() const
{
    const int row = m_table->currentRow();
    return row >= 0 && row < m_records.size() ? &m_records[row] : nullptr;
}

void HistoryPanel::ShowChoice()
{
    const RunRecord* chosen = Chosen();
    m_runAgain->setEnabled(chosen && m_runAgainAllowed);
    m_showResult->setEnabled(chosen && chosen->outcome == "Finished");
    m_copy->setEnabled(chosen != nullptr);
}

void HistoryPanel::OnRunAgain()
{
    // A copy: the dialog it opens adds to the History while it is open.
    const RunRecord* chosen = Chosen();
    if (chosen && m_runAgainAllowed && m_onRunAgain) m_onRunAgain(JobCommand(chosen->command));
}

void HistoryPanel::OnShowResult()
{
    const RunRecord* chosen = Chosen();
    if (chosen && chosen->outcome == "Finished" && m_onShowResult)
        m_onShowResult(JobCommand(chosen->command));
}

void HistoryPanel::OnCopyCommand()
{
    if (const RunRecord* chosen = Chosen())
        QApplication::clipboard()->setText(chosen->command.Text());
}

}  // namespace lumesta
