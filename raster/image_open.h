#pragma once
// Opening any image the program reads, by its name, for the tools and the viewer: the reader
// ChooseReader names (reader_choice.h) fills the one description of raster_source.h. ENVI
// (".img" or its ".hdr"; any band count, interleave, byte order and the usual data types),
// Idrisi32 (".rst" or its ".rdc"; ".rgf" groups), strip GeoTIFF (".tif"), everything GDAL reads
// (".tiff", ".jp2", ".vrt", ..., and ".tif" files the strip reader cannot take), 24-bit BMP
// (".bmp") and generic matrices (anything else; the caller supplies the size). Problems come
// back as a sentence saying why the file cannot be read; nothing is shown to the user from here.

#include <memory>
#include <string>

#include "raster/picture_source.h"
#include "raster/raster_source.h"

namespace lumesta {

// True when path names a headerless matrix (its size must be asked for).
bool NeedsMatrixSize(const std::string& path);

// Opens path; nothing (with error set) when it cannot be read. A header name (".hdr", ".rdc")
// opens its data file. matrix is used only for headerless matrices.
std::unique_ptr<RasterSource> OpenRaster(const std::string& path, const MatrixSize& matrix,
                                         std::string& error);

}  // namespace lumesta
