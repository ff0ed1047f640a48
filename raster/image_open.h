#pragma once
// Opening any image the program reads or writes for viewing, by its name: ENVI (".img" or its
// ".hdr"; any band count, interleave, byte order and the usual data types), Idrisi32 (".rst" or
// its ".rdc"; ".rgf" groups), GeoTIFF (".tif", "tiff"), 24-bit BMP (".bmp") and generic
// matrices (anything else; the caller supplies the size). Problems come back as a sentence
// saying why the file cannot be shown; nothing is shown to the user from here.

#include <memory>
#include <string>

#include "raster/picture_source.h"
#include "raster/raster_source.h"

namespace lumesta {

// True when path names a headerless matrix (its size must be asked for).
bool NeedsMatrixSize(const std::string& path);

// Opens path; nothing (with error set) when it cannot be shown. matrix is used only for
// headerless matrices.
std::unique_ptr<RasterSource> OpenImage(const std::string& path, const MatrixSize& matrix,
                                        std::string& error);

}  // namespace lumesta
