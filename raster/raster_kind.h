#pragma once
// What kind of file an input band comes in, as the tools' type checks tell them apart.

#include <string>

namespace lumesta {

// EnviOrIdrisi: an ENVI (.img) or Idrisi32 (.rst) file, read in place. GeoTiffOrMatrix: a
// GeoTIFF (extracted before the run reads it) or a generic matrix without a header.
enum class RasterKind { EnviOrIdrisi = 0, GeoTiffOrMatrix = 1 };

// The kind of a file by its lower-case extension without the dot.
inline RasterKind RasterKindOf(const std::string& ext)
{
    return ext == "img" || ext == "rst" ? RasterKind::EnviOrIdrisi : RasterKind::GeoTiffOrMatrix;
}

}  // namespace lumesta
