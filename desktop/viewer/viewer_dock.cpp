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
#include <QSplitter>
#include <QTabWidget>
#include <QVBoxLayout>
#include <cmath>

#include "desktop/viewer/image_canvas.h"
#include "desktop/viewer/image_drops.h"
#include "desktop/viewer/info_panel.h"
#include "imaging/view_stretch.h"
#include "raster/lat_lon.h"
#include "ui/text.h"

namespace lumesta {
namespace {

const char kEmptyText[] = "No image. Use File > Open Image... or drop an image file here.";

QString ValueText(std::optional<double> value)
{
    return value ? QString::number(*value, 'g', 10) : QString("...");
}

QString BandName(const RasterDescription& d, int band)
{
    return band < static_cast<int>(d.bandNames.size()) ? ToQt(d.bandNames[band])
                                                       : QString("Band %1").arg(band + 1);
}

// "40.123456° N, 75.123456° W": six decimals, about 0.1 m.
QString LatLonLabel(const LatLon& place)
{
    return QString("%1%2 %3, %4%5 %6")
        .arg(std::abs(place.latitude), 0, 'f', 6)
        .arg(QChar(0x00B0))
        .arg(place.latitude < 0 ? 'S' : 'N')
        .arg(std::abs(place.longitude), 0, 'f', 6)
        .arg(QChar(0x00B0))
        .arg(place.longitude < 0 ? 'W' : 'E');
}

// The pixel position (column, row, fractional) of a map point: the affine map inverted.
std::optional<QPointF> MapToPixel(const Georeference& geo, double x, double y)
{
    const double det = geo.pixelWidth * geo.pixelHeight - geo.rowSkewX * geo.columnSkewY;
    if (!geo.valid || det == 0) return std::nullopt;
    const double dx = x - geo.originX;
    const double dy = y - geo.originY;
    return QPointF((dx * geo.pixelHeight - dy * geo.rowSkewX) / det,
                   (dy * geo.pixelWidth - dx * geo.columnSkewY) / det);
}

std::string KeyOf(const std::vector<BandFile>& bands)
{
    std::string key;
    for (const BandFile& band : bands) key += band.path + "#" + std::to_string(band.band) + ";";
    return key;
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
    tabs->addTab(m_stretch, "Stretch");
    tabs->addTab(m_info, "Information");
    split->addWidget(m_canvas);
    split->addWidget(tabs);
    // Both parts grow with the dock; the picture keeps most of the height.
    split->setStretchFactor(0, 2);
    split->setStretchFactor(1, 1);
    split->setSizes({560, 240});
    layout->addWidget(split, 1);
    setWidget(body);
    m_readout = new QLabel;
    m_readout->setObjectName("ViewerReadout");
    m_askSize = [this](const QString& path) { return AskMatrixSize(this, path, m_lastSize); };
    m_askCoordinate = [this]() -> std::optional<CoordinateRequest> {
        const auto layer = Primary();
        if (!layer) return std::nullopt;
        const Georeference& geo = layer->Description().geo;
        return AskCoordinate(this, geo.valid, m_latLon[0] && m_latLon[0]->Valid());
    };

    connect(m_canvas, &ImageCanvas::OverviewReady, this,
            [this](int index) { OnOverviewReady(index); });
    connect(m_canvas, &ImageCanvas::OverviewRefined, this, [this](int index) {
        if (index == ImageCanvas::kPrimary) m_info->Describe(Primary().get());
        ApplyDisplay();
    });
    connect(m_canvas, &ImageCanvas::CancelRequested, this, [this] {
        const QString title = m_shown >= 0 ? m_images[m_shown].name : QString();
        if (m_shown >= 0) m_images.erase(m_images.begin() + m_shown);
        m_shown = -1;
        m_compared = -1;
        FillImageBoxes();
        ShowReason(title + ": reading was cancelled.");
    });
    connect(m_canvas, &ImageCanvas::PointerMoved, this,
            [this](int column, int row, int layer) { OnPointer(column, row, layer); });
    connect(m_stretch, &StretchPanel::CutoffsChanged, this, [this](int channel) {
        RecomputeLimits(channel);
        ApplyDisplay();
    });
    connect(m_stretch, &StretchPanel::StretchChanged, this, [this] { ApplyDisplay(); });
    connect(m_stretch, &StretchPanel::PresetChosen, this,
            [this](StretchPreset preset) { ApplyPreset(preset); });
}

// The readout lives in the main window's status bar, which owns it once placed there.
ViewerDock::~ViewerDock()
{
    if (m_readout && !m_readout->parent()) delete m_readout;
}

QWidget* ViewerDock::BuildControls()
{
    // Three rows (image and view, comparison, bands) keep the dock narrow enough for the log
    // beside it.
    auto* controls = new QWidget(this);
    auto* rows = new QVBoxLayout(controls);
    rows->setContentsMargins(0, 0, 0, 0);
    auto* row = new QHBoxLayout;
    auto* compareRow = new QHBoxLayout;
    auto* bandRow = new QHBoxLayout;
    rows->addLayout(row);
    rows->addLayout(compareRow);
    rows->addLayout(bandRow);
    auto* open = new QPushButton("Open...", controls);
    auto* close = new QPushButton("Close", controls);
    close->setToolTip("Take the image shown off the list");
    m_imageBox = new QComboBox(controls);
    m_imageBox->setToolTip("The image shown: every image opened and every run's result");
    m_imageBox->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    auto* fit = new QPushButton("Fit", controls);
    auto* actual = new QPushButton("1:1", controls);
    auto* goTo = new QPushButton("Go To...", controls);
    goTo->setToolTip("Centre the view on a pixel, map or geographic coordinate");
    row->addWidget(open);
    row->addWidget(close);
    row->addWidget(new QLabel("Image:", controls));
    row->addWidget(m_imageBox, 1);
    row->addWidget(fit);
    row->addWidget(actual);
    row->addWidget(goTo);

    m_compareMode = new QComboBox(controls);
    m_compareMode->addItems({"No comparison", "Swipe", "Blink", "Side by side"});
    m_against = new QComboBox(controls);
    m_against->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_sameStretch = new QCheckBox("Same stretch", controls);
    m_sameStretch->setToolTip("Show the compared image with exactly the limits of the image shown");
    compareRow->addWidget(new QLabel("Compare:", controls));
    compareRow->addWidget(m_compareMode);
    compareRow->addWidget(new QLabel("with", controls));
    compareRow->addWidget(m_against, 1);
    compareRow->addWidget(m_sameStretch);

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
    connect(m_compareMode, &QComboBox::currentIndexChanged, this, [this](int mode) {
        if (m_filling) return;
        m_canvas->SetCompareMode(static_cast<CompareMode>(mode));
        // Between swipe, blink and side by side the compared image stays as it is.
        const bool shown = m_canvas->Layer(ImageCanvas::kCompare) != nullptr;
        if (shown != (mode != 0) || m_compared != m_against->currentIndex())
            SetCompared(m_against->currentIndex());
    });
    connect(m_against, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!m_filling) SetCompared(index);
    });
    connect(m_imageBox, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!m_filling && index >= 0 && index != m_shown) ShowImage(index);
    });
    connect(m_sameStretch, &QCheckBox::toggled, this, [this] {
        if (!m_filling) ApplyDisplay();
    });
    connect(open, &QPushButton::clicked, this, [this] {
        const QString path = ChooseImageToView(this);
        if (!path.isEmpty()) OpenPath(path);
    });
    connect(close, &QPushButton::clicked, this, [this] {
        if (m_shown < 0) return;
        m_images.erase(m_images.begin() + m_shown);
        if (m_compared == m_shown) m_compared = -1;
        if (m_compared > m_shown) --m_compared;
        m_shown = -1;
        FillImageBoxes();
        if (m_images.empty()) {
            ShowReason(kEmptyText);
            SetProblem(QString());
            return;
        }
        ShowImage(0);
    });
    connect(fit, &QPushButton::clicked, this, [this] { m_canvas->Fit(); });
    connect(actual, &QPushButton::clicked, this, [this] { m_canvas->OneToOne(); });
    connect(goTo, &QPushButton::clicked, this, [this] {
        if (const auto place = m_askCoordinate()) GoTo(*place);
    });
    return controls;
}

void ViewerDock::SetMatrixAsker(std::function<std::optional<MatrixSize>(const QString&)> ask)
{
    m_askSize = std::move(ask);
}

void ViewerDock::SetCoordinateAsker(std::function<std::optional<CoordinateRequest>()> ask)
{
    m_askCoordinate = std::move(ask);
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

std::shared_ptr<DisplayLayer> ViewerDock::Primary() const
{
    return m_canvas->Layer(ImageCanvas::kPrimary);
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
    const std::string file = ToEngine(path);
    std::string error;
    std::unique_ptr<RasterSource> source = OpenRaster(file, size, error);
    show();
    raise();
    if (!source) {
        ShowReason(QFileInfo(path).fileName() + " cannot be shown: " + ToQt(error));
        return false;
    }
    const int index = AddImage(
        QFileInfo(path).fileName(), file,
        [file, size](std::string& why) { return OpenRaster(file, size, why); }, true);
    // A newly opened image is shown alone.
    m_filling = true;
    m_compareMode->setCurrentIndex(static_cast<int>(CompareMode::None));
    m_filling = false;
    m_canvas->SetCompareMode(CompareMode::None);
    ShowImage(index, std::move(source));
    return true;
}

bool ViewerDock::ShowAlignment(const AlignmentArrows& alignment)
{
    if (!OpenPath(ToQt(alignment.panPath), MatrixSize{})) return false;
    m_canvas->SetAlignment(alignment);
    return true;
}

// Nothing is shown any more (reading stops), and the reason takes the picture's place.
void ViewerDock::ShowReason(const QString& reason)
{
    m_shown = -1;
    m_compared = -1;
    m_filling = true;
    m_imageBox->setCurrentIndex(-1);
    m_filling = false;
    m_canvas->SetLayer(ImageCanvas::kCompare, nullptr);
    m_canvas->SetLayer(ImageCanvas::kPrimary, nullptr);
    m_info->Describe(nullptr);
    SetProblem(reason);
    m_canvas->SetEmptyText(reason);
}

void ViewerDock::OpenPaths(const QStringList& paths)
{
    if (paths.isEmpty() || !OpenPath(paths.first())) return;
    const RasterDescription& shown = Primary()->Description();
    const int first = m_shown;
    int compared = -1;
    for (int i = 1; i < paths.size(); ++i) {
        const std::string file = ToEngine(paths[i]);
        std::string error;
        std::unique_ptr<RasterSource> source = OpenRaster(file, m_lastSize, error);
        if (!source || source->Description().width != shown.width ||
            source->Description().height != shown.height) {
            SetProblem(QFileInfo(paths[i]).fileName() + " is not offered for comparison: " +
                       (source ? QString("its size differs from the image shown.") : ToQt(error)));
            continue;
        }
        const MatrixSize size = m_lastSize;
        const int index = AddImage(
            QFileInfo(paths[i]).fileName(), file,
            [file, size](std::string& why) { return OpenRaster(file, size, why); }, true);
        if (compared < 0) compared = index;
    }
    if (compared < 0) return;
    m_filling = true;
    m_imageBox->setCurrentIndex(first);
    m_against->setCurrentIndex(compared);
    m_compareMode->setCurrentIndex(static_cast<int>(CompareMode::Swipe));
    m_filling = false;
    m_canvas->SetCompareMode(CompareMode::Swipe);
    SetCompared(compared);
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
    ++m_runs;
    const QString resultName = QString("Result %1 (%2)")
                                   .arg(m_runs)
                                   .arg(QFileInfo(ToQt(images.result.front().path)).fileName());
    const std::vector<BandFile> bands = images.result;
    const int shown = AddImage(
        resultName, KeyOf(bands), [bands](std::string& why) { return OpenBandFiles(bands, why); },
        true);
    int compared = -1;
    if (!images.inputs.empty()) {
        const std::vector<BandFile> inputs = images.inputs;
        compared = AddImage(
            "Input MS bands", KeyOf(inputs),
            [inputs, width, height](std::string& why) -> std::unique_ptr<RasterSource> {
                auto source = OpenBandFiles(inputs, why);
                return source ? ResampleNearest(std::move(source), width, height) : nullptr;
            },
            images.sameUnits);
    }
    if (!images.pan.path.empty()) {
        const BandFile pan = images.pan;
        AddImage(
            "Pan", KeyOf({pan}),
            [pan, width, height](std::string& why) -> std::unique_ptr<RasterSource> {
                auto source = OpenBandFiles({pan}, why);
                return source ? ResampleNearest(std::move(source), width, height) : nullptr;
            },
            false);
    }
    ShowImage(shown, std::move(result));
    show();
    raise();
    if (compared < 0) return;
    m_filling = true;
    m_against->setCurrentIndex(compared);
    m_compareMode->setCurrentIndex(static_cast<int>(CompareMode::Swipe));
    m_filling = false;
    m_canvas->SetCompareMode(CompareMode::Swipe);
    SetCompared(compared);
}

// An image already listed (the same files) keeps its place; a new one of a name already used
// gets a number.
int ViewerDock::AddImage(const QString& name, const std::string& key, Opener open, bool sameUnits)
{
    for (std::size_t i = 0; i < m_images.size(); ++i) {
        if (m_images[i].key == key) {
            m_images[i].open = std::move(open);
            m_images[i].sameUnits = sameUnits;
            return static_cast<int>(i);
        }
    }
    QString unique = name;
    for (int n = 2;; ++n) {
        const bool used = std::any_of(m_images.begin(), m_images.end(),
                                      [&](const Entry& entry) { return entry.name == unique; });
        if (!used) break;
        unique = QString("%1 (%2)").arg(name).arg(n);
    }
    m_images.push_back({unique, key, std::move(open), sameUnits});
    FillImageBoxes();
    return static_cast<int>(m_images.size()) - 1;
}

void ViewerDock::FillImageBoxes()
{
    m_filling = true;
    for (QComboBox* box : {m_imageBox, m_against}) {
        box->clear();
        for (const Entry& entry : m_images) box->addItem(entry.name);
    }
    m_imageBox->setCurrentIndex(m_shown);
    m_against->setCurrentIndex(m_compared);
    m_filling = false;
}

void ViewerDock::ShowImage(int index, std::unique_ptr<RasterSource> opened)
{
    Entry& entry = m_images[static_cast<std::size_t>(index)];
    if (!opened) {
        std::string error;
        opened = entry.open(error);
        if (!opened) {
            ShowReason(entry.name + " cannot be shown: " + ToQt(error));
            return;
        }
    }
    SetProblem(ToQt(opened->Description().missingNote));
    m_shown = index;
    m_filling = true;
    m_imageBox->setCurrentIndex(index);
    m_filling = false;
    setWindowTitle("Image Viewer - " + entry.name);
    auto layer = std::make_shared<DisplayLayer>(std::move(opened));
    m_latLon[ImageCanvas::kPrimary] = std::make_unique<LatLonConverter>(layer->Description().geo);
    m_canvas->SetLayer(ImageCanvas::kPrimary, layer);
    m_canvas->SetLayerName(ImageCanvas::kPrimary, entry.name);
    FillBandBoxes();
    m_info->Describe(layer.get());
    SetCompared(m_against->currentIndex());
}

// The compared image, on the grid of the one shown when its size differs; none while the mode
// is "No comparison".
void ViewerDock::SetCompared(int index)
{
    const auto primary = Primary();
    const bool comparing = m_canvas->Mode() != CompareMode::None;
    if (!primary || !comparing || index < 0 || index >= static_cast<int>(m_images.size())) {
        m_compared = comparing ? -1 : index;
        m_canvas->SetLayer(ImageCanvas::kCompare, nullptr);
        m_latLon[ImageCanvas::kCompare].reset();
        ApplyDisplay();
        return;
    }
    const Entry& entry = m_images[static_cast<std::size_t>(index)];
    std::string error;
    std::unique_ptr<RasterSource> source = entry.open(error);
    if (!source) {
        SetProblem(entry.name + " cannot be compared: " + ToQt(error));
        m_canvas->SetLayer(ImageCanvas::kCompare, nullptr);
        ApplyDisplay();
        return;
    }
    const RasterDescription& shown = primary->Description();
    if (source->Description().width != shown.width ||
        source->Description().height != shown.height) {
        source = ResampleNearest(std::move(source), shown.width, shown.height);
    }
    m_compared = index;
    m_filling = true;
    m_sameStretch->setChecked(entry.sameUnits && m_images[m_shown].sameUnits);
    m_filling = false;
    auto layer = std::make_shared<DisplayLayer>(std::move(source));
    m_latLon[ImageCanvas::kCompare] = std::make_unique<LatLonConverter>(layer->Description().geo);
    m_canvas->SetLayer(ImageCanvas::kCompare, layer);
    m_canvas->SetLayerName(ImageCanvas::kCompare, entry.name);
    ApplyDisplay();
}

void ViewerDock::FillBandBoxes()
{
    const DisplayLayer& layer = *Primary();
    const RasterDescription& d = layer.Description();
    const BandChoice choice = layer.DefaultChoice();
    m_filling = true;
    for (int c = 0; c < 3; ++c) {
        m_bandBoxes[c]->clear();
        for (int band = 0; band < d.bands; ++band) m_bandBoxes[c]->addItem(BandName(d, band));
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
    const auto layer = Primary();
    if (!layer || !layer->OverviewReady()) return;
    const BandChoice choice = CurrentChoice();
    const ChannelStretch current = m_stretch->Stretch()[channel];
    const ViewLimits limits = layer->LimitsOf(choice.rgb[channel], current);
    m_stretch->SetLimits(channel, limits.low, limits.high);
}

// Min-max and 2 % set the cut-offs of every channel (their limits follow); mean ± 2σ sets the
// limits from each shown band's statistics over its non-zero samples.
void ViewerDock::ApplyPreset(StretchPreset preset)
{
    const auto layer = Primary();
    if (!layer) return;
    if (preset != StretchPreset::MeanSigma) {
        m_stretch->SetCutoffs(preset == StretchPreset::MinMax ? 0 : 2);
        for (int c = 0; c < 3; ++c) RecomputeLimits(c);
    } else if (layer->OverviewReady()) {
        const BandChoice choice = CurrentChoice();
        for (int c = 0; c < 3; ++c) {
            const std::vector<float>& band = layer->OverviewBand(choice.rgb[c]);
            const ViewLimits limits =
                ComputeMeanSigmaLimits(band.data(), static_cast<std::int64_t>(band.size()), 2);
            m_stretch->SetLimits(c, limits.low, limits.high);
        }
    }
    ApplyDisplay();
}

// A compared image of other units (a picture, the pan) takes the same cut-offs and strengths
// but its own limits, unless Same stretch is ticked.
std::array<ChannelStretch, 3> ViewerDock::CompareStretch() const
{
    std::array<ChannelStretch, 3> stretch = m_stretch->Stretch();
    const std::shared_ptr<DisplayLayer> layer = m_canvas->Layer(ImageCanvas::kCompare);
    if (!layer || m_sameStretch->isChecked()) return stretch;
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
    const auto primary = Primary();
    if (!primary) return;
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
    if (primary->OverviewReady()) {
        std::array<const std::vector<float>*, 3> bands{};
        for (int c = 0; c < 3; ++c) bands[c] = &primary->OverviewBand(choice.rgb[c]);
        m_stretch->Histogram().SetBands(bands, choice.grey);
    }
    m_stretch->Histogram().SetStretch(m_stretch->Stretch());
}

void ViewerDock::OnOverviewReady(int index)
{
    if (index == ImageCanvas::kPrimary) {
        for (int c = 0; c < 3; ++c) RecomputeLimits(c);
        m_info->Describe(Primary().get());
    }
    ApplyDisplay();
}

bool ViewerDock::GoTo(const CoordinateRequest& place)
{
    const auto layer = Primary();
    if (!layer) return false;
    const RasterDescription& d = layer->Description();
    std::optional<QPointF> pixel;
    QString why;
    switch (place.kind) {
        case CoordinateKind::Pixel:
            pixel = QPointF(place.first + 0.5, place.second + 0.5);
            break;
        case CoordinateKind::Map:
            pixel = MapToPixel(d.geo, place.first, place.second);
            if (!pixel) why = "the image has no map coordinates.";
            break;
        case CoordinateKind::LatLon: {
            const LatLonConverter& converter = *m_latLon[ImageCanvas::kPrimary];
            const auto map = converter.ToMap({place.first, place.second});
            if (map) pixel = MapToPixel(d.geo, map->x, map->y);
            if (!pixel) why = "the image has no geographic coordinates.";
            break;
        }
    }
    if (pixel &&
        (pixel->x() < 0 || pixel->y() < 0 || pixel->x() >= d.width || pixel->y() >= d.height)) {
        why = QString("it lies outside the image (column %1, row %2).")
                  .arg(std::floor(pixel->x()))
                  .arg(std::floor(pixel->y()));
        pixel.reset();
    }
    if (!pixel) {
        SetProblem("Cannot go there: " + why);
        return false;
    }
    SetProblem(ToQt(d.missingNote));
    m_canvas->CentreOn(*pixel);
    return true;
}

// The values and places of the image under the pointer: while two images are shown, that is the
// one visible there, named first.
void ViewerDock::OnPointer(int column, int row, int index)
{
    if (!m_readout) return;
    const auto layer = index >= 0 ? m_canvas->Layer(index) : nullptr;
    if (!layer || column < 0 || row < 0) {
        m_readout->clear();
        return;
    }
    const RasterDescription& d = layer->Description();
    QString text;
    if (m_canvas->Layer(ImageCanvas::kCompare)) {
        text = (index == ImageCanvas::kCompare && m_compared >= 0 ? m_images[m_compared].name
                                                                  : m_images[m_shown].name) +
               ": ";
    }
    text += QString("Row %1, Column %2 |").arg(row).arg(column);
    for (int band = 0; band < d.bands && band < 16; ++band) {
        text +=
            " " + BandName(d, band) + " " + ValueText(layer->Source().ReadValue(band, column, row));
    }
    if (d.geo.valid) {
        const MapPoint point = d.geo.PixelToMap(column + 0.5, row + 0.5);
        text += QString(" | X %1, Y %2").arg(point.x, 0, 'f', 3).arg(point.y, 0, 'f', 3);
        if (!d.geo.crsName.empty()) text += " (" + ToQt(d.geo.crsName) + ")";
        const LatLonConverter* converter = m_latLon[index].get();
        if (const auto place = converter ? converter->ToLatLon(point) : std::nullopt)
            text += " | " + LatLonLabel(*place);
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
