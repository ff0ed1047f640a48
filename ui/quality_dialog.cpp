#include "ui/quality_dialog.h"

#include <QApplication>
#include <QClipboard>
#include <QCheckBox>
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
#include <QTableWidget>
#include <QVBoxLayout>

#include "imaging/sensor_gains.h"
#include "ui/dialog_parts.h"
#include "ui/file_chooser.h"
#include "ui/text.h"
#include "ui/tool_dialog_host.h"
#include "workflows/quality_line.h"

namespace lumesta {
namespace {

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
    grid->addLayout(row, 5, 0, 1, 3);
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
    m_table->setMinimumHeight(120);
    m_progress = new QProgressBar(this);
    auto* row = new QHBoxLayout;
    auto* copy = new QPushButton("Copy", this);
    auto* save = new QPushButton("Save CSV...", this);
    copy->setAutoDefault(false);
    save->setAutoDefault(false);
    row->addWidget(m_progress, 1);
    row->addWidget(copy);
    row->addWidget(save);
    column->addWidget(m_table);
    column->addLayout(row);
    connect(copy, &QPushButton::clicked, this, [this] { OnCopy(); });
    connect(save, &QPushButton::clicked, this, [this] { OnSave(); });
    return group;
}

void FusionQualityDialog::OnFilesChosen(QLineEdit* field, const QStringList& paths)
{
    field->setText(paths.join("; "));
    TakeFields();
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
}

void FusionQualityDialog::ShowJob()
{
    m_protocol->setCurrentIndex(static_cast<int>(m_job.protocol));
    ShowText(m_fused, JoinPaths(m_job.fused));
    ShowText(m_reference, JoinPaths(m_job.reference));
    ShowText(m_ms, JoinPaths(m_job.ms));
    ShowText(m_pan, ToQt(m_job.pan));
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
    for (const auto& [field, browse] : m_browse) browse->setEnabled(field->isEnabled());
    m_lastRun->setEnabled(LastPanSharpening().has_value());
}

void FusionQualityDialog::OnLastRun()
{
    if (IsRunning()) return;
    if (const auto last = LastPanSharpening()) {
        const std::string sensor = m_job.sensor;
        m_job = *last;
        m_job.sensor = sensor;
    }
    ShowJob();
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
    if (outcome == RunOutcome::Finished && !m_job.mapPath.empty())
        ProgramHost().OpenInViewer(ViewerKind::Picture, m_job.mapPath);
}

void FusionQualityDialog::ShowResults()
{
    const QString csv = ToQt(FormatQualityRows(m_rows, KindOf(m_job.protocol), QualityFormat::Csv));
    const QStringList lines = csv.split('\n', Qt::SkipEmptyParts);
    m_table->clear();
    m_table->setRowCount(std::max<int>(0, static_cast<int>(lines.size()) - 1));
    m_table->setColumnCount(lines.isEmpty() ? 0 : static_cast<int>(lines[0].split(',').size()));
    if (lines.isEmpty()) return;
    m_table->setHorizontalHeaderLabels(lines[0].split(','));
    for (int r = 1; r < lines.size(); ++r) {
        const QStringList cells = lines[r].split(',');
        for (int c = 0; c < cells.size(); ++c)
            m_table->setItem(r - 1, c, new QTableWidgetItem(cells[c]));
    }
    m_table->resizeColumnsToContents();
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
