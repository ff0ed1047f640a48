#pragma once
// The viewer's questions: which image to open, the size of a headerless matrix before it is
// opened (width, height and the bytes of one sample: 1 8-bit, 2 16-bit, 4 32-bit float), and
// the place to go to.

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

// A place in one of the image's coordinate systems: pixel (first column, second row, from 0),
// map (first X, second Y) or geographic (first latitude, second longitude, degrees).
enum class CoordinateKind { Pixel, Map, LatLon };
struct CoordinateRequest {
    CoordinateKind kind = CoordinateKind::Pixel;
    double first = 0;
    double second = 0;
};

// The place typed, or nothing on Cancel. georeferenced offers map and geographic coordinates.
std::optional<CoordinateRequest> AskCoordinate(QWidget* parent, bool georeferenced,
                                               bool geographic);

}  // namespace lumesta
