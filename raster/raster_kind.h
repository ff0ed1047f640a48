#pragma once
// What kind of file an input band comes in, as the tools' type checks tell them apart.

#include <string>

#include "raster/reader_choice.h"

namespace lumesta {

// EnviOrIdrisi: an ENVI (.img) or Idrisi32 (.rst) file, read in place. GeoTiffOrMatrix: a
// GeoTIFF or GDAL-read file (extracted before the run reads it) or a generic matrix without a
// header.
enum class RasterKind { EnviOrIdrisi = 0, GeoTiffOrMatrix = 1 };

// The kind of a file by its lower-case extension without the dot, as ReaderByName names it.
inline RasterKind RasterKindOf(const std::string& ext)
{
    const ReaderKind reader = ReaderByName("." + ext);
    return reader == ReaderKind::Envi || reader == ReaderKind::Idrisi ? RasterKind::EnviOrIdrisi
                                                                      : RasterKind::GeoTiffOrMatrix;
}

}  // namespace lumesta
