#include "desktop/viewer/info_panel.h"

#include <QTextBrowser>
#include <QVBoxLayout>
#include <cmath>

#include "ui/text.h"

namespace lumesta {
namespace {

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
    if (d.noData) text += "No data value: " + Number(*d.noData) + "\n";
    if (d.maskBand) text += "No data mask: the file's own\n";
    if (!d.missingNote.empty()) text += ToQt(d.missingNote) + "\n";
    text += GeoreferenceText(d.geo, d.width, d.height);
    if (!layer.OverviewReady()) return text + "Statistics: reading ...\n";
    if (layer.OverviewStep() == 1) {
        text +=
            QString("Statistics of every pixel (%1 x %2 samples):\n").arg(d.width).arg(d.height);
    } else if (layer.OverviewAveraged()) {
        text += QString(
                    "Statistics from a reduced read (the mean of each block of %1 x %1 pixels, "
                    "%2 x %3 samples):\n")
                    .arg(layer.OverviewStep())
                    .arg(layer.OverviewColumns())
                    .arg(layer.OverviewRows());
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

InfoPanel::InfoPanel(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_text = new QTextBrowser(this);
    layout->addWidget(m_text, 1);
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
