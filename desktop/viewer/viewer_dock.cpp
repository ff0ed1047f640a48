#include "desktop/viewer/viewer_dock.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QTabWidget>
#include <QVBoxLayout>

#include "desktop/viewer/image_canvas.h"
#include "desktop/viewer/image_drops.h"
#include "desktop/viewer/info_panel.h"
#include "desktop/viewer/stretch_panel.h"
#include "desktop/viewer/viewer_prompts.h"
#include "ui/text.h"

namespace lumesta {
namespace {

const char kEmptyText[] = "No image. Use File > Open Image... or drop an image file here.";

QString ValueText(std::optional<double> value)
{
    return value ? QString::number(*value, 'g', 10) : QString("...");
}

}  // namespace

ViewerDock::ViewerDock(QWidget* parent) : QDockWidget("Image Viewer", parent)
{
    setObjectName("ImageViewerDock");
    setAcceptDrops(true);
    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(BuildControls());
    m_problem = new QLabel(body);
    m_problem->setObjectName("ViewerProblem");
    m_problem->setWordWrap(true);
    m_problem->setStyleSheet("color: #b00000;");
    m_problem->hide();
    layout->addWidget(m_problem);
    auto* split = new QSplitter(Qt::Vertical, body);
    m_canvas = new ImageCanvas(split);
    m_canvas->SetEmptyText(kEmptyText);
    auto* tabs = new QTabWidget(split);
    m_stretch = new StretchPanel(tabs);
    m_info = new InfoPanel(tabs);
    // The information panel scrolls, so the picture keeps most of a short window's height.
    auto* infoScroll = new QScrollArea(tabs);
    infoScroll->setWidget(m_info);
    infoScroll->setWidgetResizable(true);
    infoScroll->setFrameShape(QFrame::NoFrame);
    tabs->addTab(m_stretch, "Stretch");
    tabs->addTab(infoScroll, "Information");
    split->addWidget(m_canvas);
    split->addWidget(tabs);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 1);
    split->setSizes({600, 160});
    layout->addWidget(split, 1);
    setWidget(body);
    m_readout = new QLabel;
    m_readout->setObjectName("ViewerReadout");
    m_askSize = [this](const QString& path) { return AskMatrixSize(this, path, m_lastSize); };

    connect(m_canvas, &ImageCanvas::OverviewReady, this,
            [this](int index) { OnOverviewReady(index); });
    connect(m_canvas, &ImageCanvas::CancelRequested, this, [this] {
        const QString title = m_candidates.empty() ? QString() : m_candidates.front().name;
        ShowReason(title + ": reading was cancelled.");
    });
    connect(m_canvas, &ImageCanvas::PointerMoved, this,
            [this](int column, int row) { OnPointer(column, row); });
    connect(m_stretch, &StretchPanel::CutoffsChanged, this, [this](int channel) {
        RecomputeLimits(channel);
        ApplyDisplay();
    });
    connect(m_stretch, &StretchPanel::StretchChanged, this, [this] { ApplyDisplay(); });
}

// The readout lives in the main window's status bar, which owns it once placed there.
ViewerDock::~ViewerDock()
{
    if (m_readout && !m_readout->parent()) delete m_readout;
}

QWidget* ViewerDock::BuildControls()
{
    // Two rows (view and comparison above, bands below) keep the dock narrow enough for the
    // log beside it.
    auto* controls = new QWidget(this);
    auto* rows = new QVBoxLayout(controls);
    rows->setContentsMargins(0, 0, 0, 0);
    auto* row = new QHBoxLayout;
    auto* bandRow = new QHBoxLayout;
    rows->addLayout(row);
    rows->addLayout(bandRow);
    auto* open = new QPushButton("Open...", controls);
    auto* fit = new QPushButton("Fit", controls);
    auto* actual = new QPushButton("1:1", controls);
    row->addWidget(open);
    row->addWidget(fit);
    row->addWidget(actual);
    const char* const names[] = {"R", "G", "B"};
    for (int c = 0; c < 3; ++c) {
        bandRow->addWidget(new QLabel(names[c], controls));
        m_bandBoxes[c] = new QComboBox(controls);
        bandRow->addWidget(m_bandBoxes[c], 1);
        connect(m_bandBoxes[c], &QComboBox::currentIndexChanged, this, [this, c] {
            if (m_filling) return;
            RecomputeLimits(c);
            ApplyDisplay();
        });
    }
    m_grey = new QCheckBox("Grey", controls);
    bandRow->addWidget(m_grey);
    connect(m_grey, &QCheckBox::toggled, this, [this] {
        if (m_filling) return;
        m_stretch->SetGrey(m_grey->isChecked());
        RecomputeLimits(0);
        ApplyDisplay();
    });
    m_compareMode = new QComboBox(controls);
    m_compareMode->addItems({"No comparison", "Swipe", "Blink"});
    m_against = new QComboBox(controls);
    row->addWidget(m_compareMode);
    row->addWidget(m_against);
    row->addStretch(1);
    connect(m_compareMode, &QComboBox::currentIndexChanged, this,
            [this](int mode) { m_canvas->SetCompareMode(static_cast<CompareMode>(mode)); });
    connect(m_against, &QComboBox::currentIndexChanged, this, [this] { ChooseCompare(); });
    connect(open, &QPushButton::clicked, this, [this] {
        const QString path = ChooseImageToView(this);
        if (!path.isEmpty()) OpenPath(path);
    });
    connect(fit, &QPushButton::clicked, this, [this] { m_canvas->Fit(); });
    connect(actual, &QPushButton::clicked, this, [this] { m_canvas->OneToOne(); });
    return controls;
}

void ViewerDock::SetMatrixAsker(std::function<std::optional<MatrixSize>(const QString&)> ask)
{
    m_askSize = std::move(ask);
}

QString ViewerDock::Problem() const
{
    return m_problem->text();
}

void ViewerDock::SetProblem(const QString& text)
{
    m_problem->setText(text);
    m_problem->setVisible(!text.isEmpty());
}

bool ViewerDock::OpenPath(const QString& path)
{
    if (NeedsMatrixSize(ToEngine(path))) {
        const std::optional<MatrixSize> size = m_askSize(path);
        if (!size) return false;
        m_lastSize = *size;
        return OpenPath(path, *size);
    }
    return OpenPath(path, MatrixSize{});
}

bool ViewerDock::OpenPath(const QString& path, const MatrixSize& size)
{
    std::string error;
    std::unique_ptr<RasterSource> source = OpenImage(ToEngine(path), size, error);
    show();
    raise();
    if (!source) {
        ShowReason(QFileInfo(path).fileName() + " cannot be shown: " + ToQt(error));
        return false;
    }
    Show(std::move(source), QFileInfo(path).fileName());
    return true;
}

// Nothing is shown any more (reading stops), and the reason takes the picture's place.
void ViewerDock::ShowReason(const QString& reason)
{
    m_candidates.clear();
    m_canvas->SetLayer(ImageCanvas::kCompare, nullptr);
    m_canvas->SetLayer(ImageCanvas::kPrimary, nullptr);
    m_info->Describe(nullptr);
    SetProblem(reason);
    m_canvas->SetEmptyText(reason);
}

void ViewerDock::OpenPaths(const QStringList& paths)
{
    if (paths.isEmpty() || !OpenPath(paths.first())) return;
    const RasterDescription& shown = m_candidates.front().layer->Description();
    for (int i = 1; i < paths.size(); ++i) {
        std::string error;
        std::unique_ptr<RasterSource> source = OpenImage(ToEngine(paths[i]), m_lastSize, error);
        if (!source || source->Description().width != shown.width ||
            source->Description().height != shown.height) {
            SetProblem(QFileInfo(paths[i]).fileName() + " is not offered for comparison: " +
                       (source ? QString("its size differs from the image shown.") : ToQt(error)));
            continue;
        }
        m_candidates.push_back({QFileInfo(paths[i]).fileName(),
                                std::make_shared<DisplayLayer>(std::move(source)), false});
        m_against->addItem(m_candidates.back().name);
    }
    if (m_candidates.size() > 1)
        m_compareMode->setCurrentIndex(static_cast<int>(CompareMode::Swipe));
}

void ViewerDock::ShowRun(const RunImages& images)
{
    std::string error;
    std::unique_ptr<RasterSource> result = OpenBandFiles(images.result, error);
    if (!result) {
        SetProblem("The result cannot be shown: " + ToQt(error));
        return;
    }
    const int width = result->Description().width;
    const int height = result->Description().height;
    Show(std::move(result), "Result");
    show();
    raise();
    if (auto inputs = OpenBandFiles(images.inputs, error)) {
        m_candidates.push_back(
            {"Input MS bands",
             std::make_shared<DisplayLayer>(ResampleNearest(std::move(inputs), width, height)),
             images.sameUnits});
        m_against->addItem(m_candidates.back().name);
    }
    if (!images.pan.path.empty()) {
        if (auto pan = OpenBandFiles({images.pan}, error)) {
            m_candidates.push_back(
                {"Pan",
                 std::make_shared<DisplayLayer>(ResampleNearest(std::move(pan), width, height)),
                 false});
            m_against->addItem(m_candidates.back().name);
        }
    }
    m_compareMode->setCurrentIndex(static_cast<int>(CompareMode::Swipe));
}

void ViewerDock::Show(std::unique_ptr<RasterSource> source, const QString& title)
{
    SetProblem(ToQt(source->Description().missingNote));
    m_candidates.clear();
    m_candidates.push_back({title, std::make_shared<DisplayLayer>(std::move(source)), true});
    m_filling = true;
    m_against->clear();
    m_compareMode->setCurrentIndex(0);
    m_filling = false;
    setWindowTitle("Image Viewer - " + title);
    m_canvas->SetLayer(ImageCanvas::kCompare, nullptr);
    m_canvas->SetLayer(ImageCanvas::kPrimary, m_candidates.front().layer);
    FillBandBoxes();
    m_info->Describe(m_candidates.front().layer.get());
    ApplyDisplay();
}

void ViewerDock::FillBandBoxes()
{
    const DisplayLayer& layer = *m_candidates.front().layer;
    const RasterDescription& d = layer.Description();
    const BandChoice choice = layer.DefaultChoice();
    m_filling = true;
    for (int c = 0; c < 3; ++c) {
        m_bandBoxes[c]->clear();
        for (int band = 0; band < d.bands; ++band) {
            m_bandBoxes[c]->addItem(band < static_cast<int>(d.bandNames.size())
                                        ? ToQt(d.bandNames[band])
                                        : QString("Band %1").arg(band + 1));
        }
        m_bandBoxes[c]->setCurrentIndex(choice.rgb[c]);
    }
    m_grey->setChecked(choice.grey);
    m_stretch->SetGrey(choice.grey);
    m_filling = false;
}

BandChoice ViewerDock::CurrentChoice() const
{
    BandChoice choice;
    for (int c = 0; c < 3; ++c) choice.rgb[c] = std::max(0, m_bandBoxes[c]->currentIndex());
    choice.grey = m_grey->isChecked();
    return choice;
}

void ViewerDock::RecomputeLimits(int channel)
{
    if (m_candidates.empty() || !m_candidates.front().layer->OverviewReady()) return;
    const BandChoice choice = CurrentChoice();
    const ChannelStretch current = m_stretch->Stretch()[channel];
    const ViewLimits limits = m_candidates.front().layer->LimitsOf(choice.rgb[channel], current);
    m_stretch->SetLimits(channel, limits.low, limits.high);
}

// A compared image of other units (a picture, the pan) takes the same cut-offs and strengths
// but its own limits.
std::array<ChannelStretch, 3> ViewerDock::CompareStretch() const
{
    std::array<ChannelStretch, 3> stretch = m_stretch->Stretch();
    const std::shared_ptr<DisplayLayer> layer = m_canvas->Layer(ImageCanvas::kCompare);
    const int index = m_against->currentIndex() + 1;
    if (!layer || index <= 0 || index >= static_cast<int>(m_candidates.size()) ||
        (m_candidates[static_cast<std::size_t>(index)].sameUnits &&
         m_candidates.front().sameUnits)) {
        return stretch;
    }
    const BandChoice choice = m_canvas->Choice(ImageCanvas::kCompare);
    for (int c = 0; c < 3; ++c) {
        const ViewLimits limits =
            layer->LimitsOf(choice.grey ? choice.rgb[0] : choice.rgb[c], stretch[c]);
        stretch[c].low = limits.low;
        stretch[c].high = limits.high;
    }
    return stretch;
}

void ViewerDock::ApplyDisplay()
{
    if (m_candidates.empty()) return;
    const BandChoice choice = CurrentChoice();
    m_canvas->SetDisplay(ImageCanvas::kPrimary, choice, m_stretch->Stretch());
    if (const auto compare = m_canvas->Layer(ImageCanvas::kCompare)) {
        BandChoice compareChoice = choice;
        if (compare->Description().bands <=
            std::max({choice.rgb[0], choice.rgb[1], choice.rgb[2]})) {
            compareChoice = compare->DefaultChoice();
        }
        m_canvas->SetDisplay(ImageCanvas::kCompare, compareChoice, m_stretch->Stretch());
        m_canvas->SetDisplay(ImageCanvas::kCompare, compareChoice, CompareStretch());
    }
    const DisplayLayer& layer = *m_candidates.front().layer;
    if (layer.OverviewReady()) {
        std::array<const std::vector<float>*, 3> bands{};
        for (int c = 0; c < 3; ++c) bands[c] = &layer.OverviewBand(choice.rgb[c]);
        m_info->Histogram().Show(bands, m_stretch->Stretch(), choice.grey);
    }
}

void ViewerDock::ChooseCompare()
{
    if (m_filling) return;
    const int index = m_against->currentIndex() + 1;
    const bool valid = index > 0 && index < static_cast<int>(m_candidates.size());
    m_canvas->SetLayer(ImageCanvas::kCompare,
                       valid ? m_candidates[static_cast<std::size_t>(index)].layer : nullptr);
    ApplyDisplay();
}

void ViewerDock::OnOverviewReady(int index)
{
    if (index == ImageCanvas::kPrimary) {
        for (int c = 0; c < 3; ++c) RecomputeLimits(c);
        m_info->Describe(m_candidates.front().layer.get());
    }
    ApplyDisplay();
}

void ViewerDock::OnPointer(int column, int row)
{
    if (!m_readout) return;
    if (m_candidates.empty() || column < 0 || row < 0) {
        m_readout->clear();
        return;
    }
    const DisplayLayer& layer = *m_candidates.front().layer;
    const RasterDescription& d = layer.Description();
    QString text = QString("Row %1, Column %2 |").arg(row).arg(column);
    for (int band = 0; band < d.bands && band < 16; ++band) {
        const QString name = band < static_cast<int>(d.bandNames.size())
                                 ? ToQt(d.bandNames[band])
                                 : QString("Band %1").arg(band + 1);
        text += " " + name + " " + ValueText(layer.Source().ReadValue(band, column, row));
    }
    if (d.geo.valid) {
        const MapPoint point = d.geo.PixelToMap(column + 0.5, row + 0.5);
        text += QString(" | X %1, Y %2").arg(point.x, 0, 'f', 3).arg(point.y, 0, 'f', 3);
        if (!d.geo.crsName.empty()) text += " (" + ToQt(d.geo.crsName) + ")";
    }
    m_readout->setText(text);
}

void ViewerDock::dragEnterEvent(QDragEnterEvent* event)
{
    if (!ImagePaths(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void ViewerDock::dropEvent(QDropEvent* event)
{
    OpenPaths(ImagePaths(event->mimeData()));
    event->acceptProposedAction();
}

}  // namespace lumesta
