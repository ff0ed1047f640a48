#include "desktop/viewer/viewer_prompts.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QSpinBox>

#include "raster/reader_choice.h"

namespace lumesta {

QString ChooseImageToView(QWidget* parent)
{
    // Every name read through GDAL, in both cases (the dialog matches names case-sensitively).
    QString gdal;
    for (const std::string& ext : GdalExtensions()) {
        if (ext == "tiff") continue;
        const QString lower = QString::fromStdString(ext);
        gdal += " *." + lower + " *." + lower.toUpper();
    }
    gdal = gdal.trimmed();
    return QFileDialog::getOpenFileName(
        parent, "Open Image", QString(),
        "Images (*.img *.hdr *.rst *.rdc *.rgf *.tif *.tiff *.TIF *.TIFF " + gdal +
            " *.bmp);;ENVI (*.img *.hdr);;Idrisi32 (*.rst *.rdc *.rgf);;"
            "GeoTIFF (*.tif *.tiff *.TIF *.TIFF);;JPEG 2000, NITF, VRT, ... (" +
            gdal + ");;24-bit BMP (*.bmp);;Generic Image Matrix (*)");
}

std::optional<MatrixSize> AskMatrixSize(QWidget* parent, const QString& path,
                                        const MatrixSize& suggestion)
{
    QDialog dialog(parent);
    dialog.setWindowTitle("Generic Image Matrix: " + QFileInfo(path).fileName());
    auto* form = new QFormLayout(&dialog);
    auto* width = new QSpinBox(&dialog);
    auto* height = new QSpinBox(&dialog);
    for (QSpinBox* box : {width, height}) box->setRange(1, 1000000);
    width->setValue(std::max(suggestion.width, 1));
    height->setValue(std::max(suggestion.height, 1));
    auto* sample = new QComboBox(&dialog);
    sample->addItem("1 byte (8-bit)", 1);
    sample->addItem("2 bytes (16-bit)", 2);
    sample->addItem("4 bytes (32-bit float)", 4);
    sample->setCurrentIndex(std::max(0, sample->findData(suggestion.sampleBytes)));
    form->addRow("Width:", width);
    form->addRow("Height:", height);
    form->addRow("Sample size:", sample);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    form->addRow(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return MatrixSize{width->value(), height->value(), sample->currentData().toInt()};
}

}  // namespace lumesta

namespace lumesta {

std::optional<CoordinateRequest> AskCoordinate(QWidget* parent, bool georeferenced, bool geographic)
{
    QDialog dialog(parent);
    dialog.setWindowTitle("Go to Coordinate");
    auto* form = new QFormLayout(&dialog);
    auto* kind = new QComboBox(&dialog);
    kind->addItem("Pixel (column, row)", static_cast<int>(CoordinateKind::Pixel));
    if (georeferenced) kind->addItem("Map (X, Y)", static_cast<int>(CoordinateKind::Map));
    if (geographic) {
        kind->addItem("Latitude, longitude (degrees)", static_cast<int>(CoordinateKind::LatLon));
    }
    auto* first = new QLineEdit(&dialog);
    auto* second = new QLineEdit(&dialog);
    form->addRow("Coordinates:", kind);
    auto* firstLabel = new QLabel(&dialog);
    auto* secondLabel = new QLabel(&dialog);
    form->addRow(firstLabel, first);
    form->addRow(secondLabel, second);
    const auto relabel = [=] {
        const auto chosen = static_cast<CoordinateKind>(kind->currentData().toInt());
        firstLabel->setText(chosen == CoordinateKind::Pixel ? "Column:"
                            : chosen == CoordinateKind::Map ? "X:"
                                                            : "Latitude:");
        secondLabel->setText(chosen == CoordinateKind::Pixel ? "Row:"
                             : chosen == CoordinateKind::Map ? "Y:"
                                                             : "Longitude:");
    };
    relabel();
    QObject::connect(kind, &QComboBox::currentIndexChanged, &dialog, relabel);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    form->addRow(buttons);
    std::optional<CoordinateRequest> request;
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
        // Numbers in the program's own notation (a point for decimals), whatever the locale.
        bool firstOk = false;
        bool secondOk = false;
        const double a = QLocale::c().toDouble(first->text().trimmed(), &firstOk);
        const double b = QLocale::c().toDouble(second->text().trimmed(), &secondOk);
        if (!firstOk || !secondOk) {
            QMessageBox::warning(&dialog, "Go to Coordinate", "Please type two numbers.");
            return;
        }
        request = CoordinateRequest{static_cast<CoordinateKind>(kind->currentData().toInt()), a, b};
        dialog.accept();
    });
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return request;
}

}  // namespace lumesta
