#pragma once
// The viewer's two questions: which image to open, and the size of a headerless matrix before
// it is opened (width, height and the bytes of one sample: 1 8-bit, 2 16-bit, 4 32-bit float).

#include <QString>
#include <optional>

#include "raster/image_open.h"

class QWidget;

namespace lumesta {

// The image chosen in an open dialog listing every format the viewer reads; empty on Cancel.
QString ChooseImageToView(QWidget* parent);

// The size typed, or nothing when the user cancels. suggestion fills the fields first.
std::optional<MatrixSize> AskMatrixSize(QWidget* parent, const QString& path,
                                        const MatrixSize& suggestion);

}  // namespace lumesta
