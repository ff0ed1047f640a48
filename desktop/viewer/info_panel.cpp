#include "desktop/viewer/info_panel.h"

#include <QPainter>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <cmath>

#include "ui/text.h"

namespace lumesta {
namespace {

constexpr int kHistogramBins = 256;

QString Number(double value)
{
    return QString::number(value, 'g', 10);
}

QString GeoreferenceText(const Georeference& geo, int width, int height)
{
    if (!geo.valid) return "Georeferencing: none\n";
    const MapPoint corner = geo.PixelToMap(width, height);
    return "Georeferencing (" + ToQt(geo.source) + "):\n" +
           "  CRS: " + (geo.crsName.empty() ? QString("unknown") : ToQt(geo.crsName)) +
           (geo.epsg ? QString(" (EPSG:%1)").arg(geo.epsg) : QString()) + "\n" +
           "  Origin (upper-left corner): " + Number(geo.originX) + ", " + Number(geo.originY) +
           "\n" + "  Pixel size: " + Number(geo.pixelWidth) + ", " + Number(geo.pixelHeight) +
           "\n" + "  Extent: X " + Number(std::min(geo.originX, corner.x)) + " to " +
           Number(std::max(geo.originX, corner.x)) + ", Y " +
           Number(std::min(geo.originY, corner.y)) + " to " +
           Number(std::max(geo.originY, corner.y)) + "\n";
}

}  // namespace

QString DescriptionText(const DisplayLayer& layer)
{
    const RasterDescription& d = layer.Description();
    QString text = "Format: " + ToQt(d.format) + "\n";
    text += QString("Size: %1 x %2 pixels, %3 band(s)\n").arg(d.width).arg(d.height).arg(d.bands);
    text += "Sample type: " + ToQt(SampleTypeName(d.type)) + "\n";
    text += "Layout: " + ToQt(d.layout) + "\n";
    for (const std::string& path : d.dataPaths) text += "Data file: " + ToQt(path) + "\n";
    for (const std::string& path : d.headerPaths) text += "Header file: " + ToQt(path) + "\n";
    text += QString("Bytes on disk: %1\n").arg(d.byteSize);
    if (!d.missingNote.empty()) text += ToQt(d.missingNote) + "\n";
    text += GeoreferenceText(d.geo, d.width, d.height);
    if (!layer.OverviewReady()) return text + "Statistics: reading ...\n";
    if (layer.OverviewStep() == 1) {
        text +=
            QString("Statistics of every pixel (%1 x %2 samples):\n").arg(d.width).arg(d.height);
    } else {
        text += QString(
                    "Statistics from a decimated read (one pixel in %1 along rows and columns, "
                    "%2 x %3 samples):\n")
                    .arg(layer.OverviewStep())
                    .arg(layer.OverviewColumns())
                    .arg(layer.OverviewRows());
    }
    for (int band = 0; band < d.bands; ++band) {
        const BandStatistics& s = layer.Statistics(band);
        const QString name = band < static_cast<int>(d.bandNames.size())
                                 ? ToQt(d.bandNames[band])
                                 : QString("Band %1").arg(band + 1);
        text += "  " + name + ": min " + Number(s.min) + ", max " + Number(s.max) + ", mean " +
                QString::number(s.mean, 'f', 3) + ", std. dev. " +
                QString::number(s.standardDeviation, 'f', 3) + "\n";
    }
    return text;
}

HistogramView::HistogramView(QWidget* parent) : QWidget(parent)
{
    setMinimumHeight(90);
}

void HistogramView::Show(const std::array<const std::vector<float>*, 3>& bands,
                         const std::array<ChannelStretch, 3>& stretch, bool grey)
{
    m_stretch = stretch;
    m_grey = grey;
    m_low = INFINITY;
    m_high = -INFINITY;
    for (int c = 0; c < 3; ++c) {
        if (!bands[c] || (grey && c > 0)) continue;
        const BandStatistics s =
            ComputeBandStatistics(bands[c]->data(), static_cast<std::int64_t>(bands[c]->size()));
        m_low = std::min({m_low, s.min, stretch[c].low});
        m_high = std::max({m_high, s.max, stretch[c].high});
    }
    if (!(m_high > m_low)) m_high = m_low + 1;
    for (int c = 0; c < 3; ++c) {
        m_counts[c].clear();
        if (!bands[c] || (grey && c > 0)) continue;
        m_counts[c] =
            ComputeHistogram(bands[c]->data(), static_cast<std::int64_t>(bands[c]->size()), m_low,
                             m_high, kHistogramBins);
        // Zero is background: its spike would flatten the rest.
        const int zeroBin = static_cast<int>((0 - m_low) / (m_high - m_low) * kHistogramBins);
        if (zeroBin >= 0 && zeroBin < kHistogramBins)
            m_counts[c][static_cast<std::size_t>(zeroBin)] = 0;
    }
    update();
}

void HistogramView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    std::int64_t peak = 1;
    for (const auto& counts : m_counts) {
        for (const std::int64_t count : counts) peak = std::max(peak, count);
    }
    const QColor colours[3] = {m_grey ? Qt::darkGray : Qt::red, Qt::darkGreen, Qt::blue};
    const double binWidth = double(width()) / kHistogramBins;
    for (int c = 0; c < 3; ++c) {
        if (m_counts[c].empty()) continue;
        painter.setPen(colours[c]);
        for (int bin = 0; bin < kHistogramBins; ++bin) {
            const double bar =
                double(m_counts[c][static_cast<std::size_t>(bin)]) / peak * (height() - 4);
            const int x = int(bin * binWidth);
            painter.drawLine(x, height() - 1, x, height() - 1 - int(bar));
        }
        for (const double limit : {m_stretch[c].low, m_stretch[c].high}) {
            const int x = int((limit - m_low) / (m_high - m_low) * width());
            painter.setPen(QPen(colours[c], 1, Qt::DashLine));
            painter.drawLine(x, 0, x, height());
        }
    }
}

InfoPanel::InfoPanel(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_text = new QTextBrowser(this);
    m_histogram = new HistogramView(this);
    layout->addWidget(m_text, 1);
    layout->addWidget(m_histogram);
}

void InfoPanel::Describe(const DisplayLayer* layer)
{
    m_text->setPlainText(layer ? DescriptionText(*layer) : QString());
}

QString InfoPanel::Text() const
{
    return m_text->toPlainText();
}

}  // namespace lumesta
