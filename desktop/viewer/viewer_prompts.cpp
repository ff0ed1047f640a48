#include "desktop/viewer/viewer_prompts.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QSpinBox>

namespace lumesta {

QString ChooseImageToView(QWidget* parent)
{
    return QFileDialog::getOpenFileName(
        parent, "Open Image", QString(),
        "Images (*.img *.hdr *.rst *.rdc *.rgf *.tif *.tiff *.bmp);;ENVI (*.img *.hdr);;"
        "Idrisi32 (*.rst *.rdc *.rgf);;GeoTIFF (*.tif *.tiff);;24-bit BMP (*.bmp);;"
        "Generic Image Matrix (*)");
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
