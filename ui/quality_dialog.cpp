#include "ui/quality_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "batch/batch_jobs.h"
#include "imaging/sensor_gains.h"
#include "ui/dialog_parts.h"
#include "ui/file_chooser.h"
#include "ui/quality_chart.h"
#include "ui/text.h"
#include "ui/tool_dialog_host.h"
#include "workflows/quality_line.h"
#include "workflows/quality_options.h"
#include "workflows/wald_results.h"

namespace lumesta {
namespace {

constexpr int kTableMinimumHeight = 120;

const char kImageFilter[] =
    "ENVI (*.img), Idrisi32 (*.rst), GeoTIFF (*.tif)|*.img;*.rst;*.tif|Generic Image Matrix "
    "(*.*)|*.*||";

// Paths are shown separated by "; ".
QString JoinPaths(const std::vector<std::string>& paths)
{
    QStringList list;
    for (const auto& path : paths) list << ToQt(path);
    return list.join("; ");
}

std::vector<std::string> SplitPaths(const QString& text)
{
    std::vector<std::string> paths;
    for (const QString& part : text.split(';', Qt::SkipEmptyParts)) {
        if (!part.trimmed().isEmpty()) paths.push_back(ToEngine(part.trimmed()));
    }
    return paths;
}

}  // namespace

FusionQualityDialog::FusionQualityDialog(RunCounters& counters, Host& host, QWidget* parent)
    : ToolDialog(counters, host, parent)
{
    setWindowTitle("Fusion Quality");
    auto* column = new QVBoxLayout(this);
    column->addWidget(MakeInputGroup());
    column->addWidget(MakeResultGroup());
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* measure = buttons->addButton("Measure", QDialogButtonBox::ActionRole);
    buttons->addButton(QDialogButtonBox::Close);
    QPushButton* reset = buttons->addButton(QDialogButtonBox::Reset);
    reset->setAutoDefault(false);
    connect(reset, &QPushButton::clicked, this, [this] { OnReset(); });
    measure->setDefault(true);
    connect(measure, &QPushButton::clicked, this, [this] { OnMeasure(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    column->addWidget(buttons);
    ShowJob();
}

QLineEdit* FusionQualityDialog::AddPathRow(QGridLayout& grid, int row, const QString& label,
                                           bool several)
{
    auto* field = new QLineEdit(this);
    field->setMinimumWidth(420);
    QPushButton* browse = MakeBrowseButton(this);
    grid.addWidget(new QLabel(label, this), row, 0);
    grid.addWidget(field, row, 1);
    grid.addWidget(browse, row, 2);
    m_browse.emplace_back(field, browse);
    connect(browse, &QPushButton::clicked, this, [this, field, several] {
        if (IsRunning()) return;
        const QStringList filters = ChooserFilters(kImageFilter);
        QStringList paths;
        if (several) {
            paths =
                QFileDialog::getOpenFileNames(this, "Open Files", QString(), filters.join(";;"));
        } else if (const QString path = ChooseFileToOpen(this, kImageFilter); !path.isEmpty()) {
            paths << path;
        }
        if (!paths.isEmpty()) OnFilesChosen(field, paths);
    });
    return field;
}

QWidget* FusionQualityDialog::MakeInputGroup()
{
    auto* group = new QGroupBox("Protocol and Images", this);
    auto* grid = new QGridLayout(group);
    m_protocol = new QComboBox(this);
    m_protocol->addItems({"Reduced resolution: fused image against a reference",
                          "Full resolution: fused image against its MS and pan (QNR)",
                          "Wald protocol: degrade, fuse with each method, measure"});
    grid->addWidget(new QLabel("Protocol", this), 0, 0);
    grid->addWidget(m_protocol, 0, 1, 1, 2);
    m_fused = AddPathRow(*grid, 1, "Fused bands", true);
    m_reference = AddPathRow(*grid, 2, "Reference bands", true);
    m_ms = AddPathRow(*grid, 3, "MS bands", true);
    m_pan = AddPathRow(*grid, 4, "Pan", false);
    m_keep = new QLineEdit(this);
    m_keepBrowse = MakeBrowseButton(this);
    grid->addWidget(new QLabel("Keep results in", this), 5, 0);
    grid->addWidget(m_keep, 5, 1);
    grid->addWidget(m_keepBrowse, 5, 2);
    m_keep->setToolTip(
        "The folder where the Wald protocol keeps the degraded inputs and each "
        "method's result (empty: nothing kept)\nlumesta-cli: --keep DIR");
    connect(m_keepBrowse, &QPushButton::clicked, this, [this] {
        if (IsRunning()) return;
        const QString folder =
            QFileDialog::getExistingDirectory(this, "Keep results in", m_keep->text());
        if (!folder.isEmpty()) OnFilesChosen(m_keep, {folder});
    });
    m_sensor = new QComboBox(this);
    for (const SensorGains& sensor : KnownSensors()) m_sensor->addItem(sensor.name);
    m_ratio = new QComboBox(this);
    m_ratio->addItems({"2", "4", "8"});
    m_lastRun = new QPushButton("Last pan-sharpening run", this);
    m_lastRun->setAutoDefault(false);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel("Sensor", this));
    row->addWidget(m_sensor);
    row->addSpacing(16);
    row->addWidget(new QLabel("Ratio", this));
    row->addWidget(m_ratio);
    row->addSpacing(16);
    m_showMap = new QCheckBox("Per-block &map", this);
    m_showMap->setToolTip("Also write the per-block Q2n (reduced) or QNR (full) map beside the "
                          "first fused band as <name>_quality_map.tif and show it in the image "
                          "viewer (lumesta-cli quality --map FILE.tif)");
    row->addWidget(m_showMap);
    row->addStretch();
    row->addWidget(m_lastRun);
    grid->addLayout(row, 6, 0, 1, 3);
    connect(m_protocol, qOverload<int>(&QComboBox::activated), this, [this] {
        TakeFields();
        ShowJob();
    });
    connect(m_lastRun, &QPushButton::clicked, this, [this] { OnLastRun(); });
    return group;
}

QWidget* FusionQualityDialog::MakeResultGroup()
{
    auto* group = new QGroupBox("Results", this);
    auto* column = new QVBoxLayout(group);
    m_table = new QTableWidget(this);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->setMinimumHeight(kTableMinimumHeight);
    m_chart = new QualityChart(this);
    m_views = new QTabWidget(this);
    m_views->addTab(m_table, "&Table");
    m_views->addTab(m_chart, "C&hart");
    m_progress = new QProgressBar(this);
    m_openBest = new QPushButton("Open the &best result", this);
    m_openBest->setToolTip(
        "Shows the kept result of the method that ranks first (by Q2n) in "
        "the image viewer, beside the MS bands it was measured against");
    auto* row = new QHBoxLayout;
    auto* copy = new QPushButton("Copy", this);
    auto* save = new QPushButton("Save CSV...", this);
    for (QPushButton* button : {m_openBest, copy, save}) button->setAutoDefault(false);
    row->addWidget(m_progress, 1);
    row->addWidget(m_openBest);
    row->addWidget(copy);
    row->addWidget(save);
    column->addWidget(m_views);
    column->addLayout(row);
    connect(m_openBest, &QPushButton::clicked, this, [this] { OnOpenBest(); });
    connect(copy, &QPushButton::clicked, this, [this] { OnCopy(); });
    connect(save, &QPushButton::clicked, this, [this] { OnSave(); });
    return group;
}

void FusionQualityDialog::OnFilesChosen(QLineEdit* field, const QStringList& paths)
{
    field->setText(paths.join("; "));
    TakeFields();
    TakeDefaultKeepFolder();
}

// The Wald protocol keeps its results beside the MS unless told otherwise, so that the best
// can be opened.
void FusionQualityDialog::TakeDefaultKeepFolder()
{
    if (m_job.protocol != QualityProtocol::Wald || !m_job.keepFolder.empty()) return;
    m_job.keepFolder = DefaultKeepFolder(m_job);
    ShowJob();
}

void FusionQualityDialog::TakeFields()
{
    m_job.protocol = static_cast<QualityProtocol>(m_protocol->currentIndex());
    m_job.fused = SplitPaths(m_fused->text());
    m_job.reference = SplitPaths(m_reference->text());
    m_job.ms = SplitPaths(m_ms->text());
    const auto pan = SplitPaths(m_pan->text());
    m_job.pan = pan.empty() ? std::string() : pan[0];
    m_job.sensor = ToEngine(m_sensor->currentText());
    m_job.ratio = m_ratio->currentText().toInt();
    m_job.ratioGiven = true;  // the list always shows one: a georeferenced pair's must agree
    m_job.keepFolder = ToEngine(m_keep->text().trimmed());
}

void FusionQualityDialog::ShowJob()
{
    m_protocol->setCurrentIndex(static_cast<int>(m_job.protocol));
    ShowText(m_fused, JoinPaths(m_job.fused));
    ShowText(m_reference, JoinPaths(m_job.reference));
    ShowText(m_ms, JoinPaths(m_job.ms));
    ShowText(m_pan, ToQt(m_job.pan));
    ShowText(m_keep, ToQt(m_job.keepFolder));
    m_sensor->setCurrentText(ToQt(m_job.sensor));
    m_ratio->setCurrentText(QString::number(m_job.ratio));
    // Each protocol takes its own files.
    const QualityProtocol p = m_job.protocol;
    m_fused->setEnabled(p != QualityProtocol::Wald);
    m_reference->setEnabled(p == QualityProtocol::Reduced);
    m_ms->setEnabled(p != QualityProtocol::Reduced);
    m_pan->setEnabled(p != QualityProtocol::Reduced);
    m_sensor->setEnabled(p != QualityProtocol::Reduced);
    m_showMap->setEnabled(p == QualityProtocol::Reduced || p == QualityProtocol::Full);
    m_keep->setEnabled(p == QualityProtocol::Wald);
    m_keepBrowse->setEnabled(p == QualityProtocol::Wald);
    for (const auto& [field, browse] : m_browse) browse->setEnabled(field->isEnabled());
    m_lastRun->setEnabled(LastPanSharpening().has_value());
}

JobCommand FusionQualityDialog::Command() const
{
    const auto& options = QualityOptions(m_job.protocol);
    return {options.tool.name, options.CommandLine(m_job)};
}

void FusionQualityDialog::Restore(const JobCommand& command)
{
    for (QualityProtocol protocol :
         {QualityProtocol::Reduced, QualityProtocol::Full, QualityProtocol::Wald}) {
        const auto& options = QualityOptions(protocol);
        if (options.tool.name != command.tool) continue;
        QualityJob job;
        QuietHost quiet;
        options.ApplyRemembered(job, command.arguments, quiet);
        m_job = std::move(job);
        m_showMap->setChecked(!m_job.mapPath.empty());
        m_rows.clear();
        ShowJob();
        ShowResults();
    }
}

void FusionQualityDialog::ResetJob()
{
    m_job = QualityJob();
    m_showMap->setChecked(false);
    m_rows.clear();
    ShowJob();
    ShowResults();
}

void FusionQualityDialog::OnLastRun()
{
    if (IsRunning()) return;
    TakeFields();
    TakeLastPanSharpening(m_job);
    ShowJob();
    TakeDefaultKeepFolder();
}

// The per-block map goes beside the first fused band, named after it; none when not asked.
std::string FusionQualityDialog::MapPathFor(const QualityJob& job, bool wanted)
{
    if (!wanted || job.fused.empty()) return std::string();
    const std::string& first = job.fused.front();
    const std::size_t slash = first.find_last_of('/');
    const std::size_t dot = first.find_last_of('.');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExtension ? first.substr(0, dot) : first) + "_quality_map.tif";
}

void FusionQualityDialog::OnMeasure()
{
    if (IsRunning()) return;
    TakeFields();
    m_job.mapPath = MapPathFor(m_job, m_showMap->isEnabled() && m_showMap->isChecked());
    ToolDialogHost host(ProgramHost(), *m_progress);
    const RunOutcome outcome =
        RunGuarded([this] { return RunQuality(m_job, Counters(), ProgramHost(), m_rows); }, &host);
    ShowResults();
    if (outcome == RunOutcome::Finished && m_views->isTabEnabled(m_views->indexOf(m_chart)))
        m_views->setCurrentWidget(m_chart);
    if (outcome == RunOutcome::Finished && !m_job.mapPath.empty())
        ProgramHost().OpenInViewer(ViewerKind::Picture, m_job.mapPath);
}

// The table people read, as the engine rounds, names, sorts and marks it: each column says
// which way is better, and its best value stands out.
void FusionQualityDialog::ShowResults()
{
    const ReadableQualityTable table = MakeReadableQualityTable(m_rows, KindOf(m_job.protocol));
    const bool named = std::any_of(table.methods.begin(), table.methods.end(),
                                   [](const std::string& name) { return !name.empty(); });
    const int first = named ? 1 : 0;
    m_table->clear();
    m_table->setRowCount(static_cast<int>(table.methods.size()));
    m_table->setColumnCount(first + static_cast<int>(table.columns.size()));
    QStringList headers;
    if (named) headers << "Method";
    for (const ReadableColumn& column : table.columns)
        headers << ToQt(column.name) + (column.lowerIsBetter ? " \u2193" : " \u2191");
    m_table->setHorizontalHeaderLabels(headers);
    for (int r = 0; r < m_table->rowCount(); ++r) {
        if (named) m_table->setItem(r, 0, new QTableWidgetItem(ToQt(table.methods[r])));
        for (int c = 0; c < static_cast<int>(table.columns.size()); ++c) {
            const ReadableColumn& column = table.columns[c];
            auto* cell = new QTableWidgetItem(ToQt(column.cells[r]));
            cell->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (column.best[r]) MarkBest(*cell);
            m_table->setItem(r, first + c, cell);
        }
    }
    for (int c = 0; c < static_cast<int>(table.columns.size()); ++c) {
        m_table->horizontalHeaderItem(first + c)->setToolTip(
            table.columns[c].lowerIsBetter ? "Lower is better" : "Higher is better");
    }
    FitTableWidth();
    // Methods to compare: a Wald run.
    m_chart->Show(table);
    m_views->setTabEnabled(m_views->indexOf(m_chart), named);
    if (!named) m_views->setCurrentWidget(m_table);
    m_best = m_job.protocol == QualityProtocol::Wald && !m_job.keepFolder.empty()
                 ? ImagesOfWaldResult(m_job, table.bestMethod, table.bands)
                 : RunImages();
    if (table.bestMethod.empty()) m_best = RunImages();
    m_openBest->setEnabled(!m_best.result.empty());
}

void FusionQualityDialog::OnOpenBest()
{
    if (IsRunning() || m_best.result.empty() || !m_resultViewer) return;
    m_resultViewer(m_best);
}

void FusionQualityDialog::MarkBest(QTableWidgetItem& cell)
{
    QFont bold = m_table->font();
    bold.setBold(true);
    cell.setFont(bold);
    cell.setBackground(QColor(0xc8, 0xe6, 0xc9));
    cell.setToolTip("The best value of this column");
}

// The columns fit their contents and the table shows them all, and up to eight rows, without
// scrolling: the dialog grows to take it.
void FusionQualityDialog::FitTableWidth()
{
    constexpr int kRowsShown = 8;
    m_table->resizeColumnsToContents();
    m_table->resizeRowsToContents();
    int width = 2 * m_table->frameWidth() + m_table->verticalScrollBar()->sizeHint().width();
    for (int c = 0; c < m_table->columnCount(); ++c) width += m_table->columnWidth(c);
    int height = 2 * m_table->frameWidth() + m_table->horizontalHeader()->sizeHint().height();
    for (int r = 0; r < std::min(m_table->rowCount(), kRowsShown); ++r)
        height += m_table->rowHeight(r);
    m_table->setMinimumSize(width, std::max(height, kTableMinimumHeight));
    layout()->activate();
}

void FusionQualityDialog::OnCopy()
{
    QApplication::clipboard()->setText(
        ToQt(FormatQualityRows(m_rows, KindOf(m_job.protocol), QualityFormat::Csv)));
}

void FusionQualityDialog::OnSave()
{
    static const char kCsvFilter[] = "CSV File (*.csv)|*.csv|All Files (*.*)|*.*||";
    BrowseToSave(kCsvFilter, "CSV", "*.csv", [this](const QString& path) {
        SaveQualityTable(ToEngine(path),
                         FormatQualityRows(m_rows, KindOf(m_job.protocol), QualityFormat::Csv),
                         ProgramHost());
    });
}

}  // namespace lumesta
