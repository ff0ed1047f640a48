#pragma once
// World files beside the pictures the tools write, so that GIS programs place a quicklook on
// the ground: "<name>.wld" (the six-line affine form) and "<name>.bmp.aux.xml" (the coordinate
// system and the same affine map, in the auxiliary XML form GIS programs read beside images).

#include <string>

#include "raster/georeference.h"

namespace lumesta {

// The six lines of a world file: pixel width, column skew, row skew, pixel height, and the map
// position of the centre of the upper-left pixel (x, then y); "\n" after each.
std::string WorldFileText(const Georeference& geo);
// The auxiliary XML: the coordinate system (its well-known text, else "EPSG:code", left out
// when neither is known) and the corner-based affine map.
std::string AuxXmlText(const Georeference& geo);

// The world file name of a picture: the path without its extension + ".wld".
std::string WorldFilePath(const std::string& picturePath);

// Writes both files beside picturePath when geo is valid; nothing otherwise. Each file is
// written completely or not at all (no partial file stays). Shows nothing: the picture is the
// result, the two files only help other programs. Returns true when both were written.
bool WriteWorldFiles(const std::string& picturePath, const Georeference& geo);

// The georeferencing a picture's world file gives, with the coordinate system of its auxiliary
// XML when that names one; not valid when there is no readable world file.
Georeference ReadWorldFiles(const std::string& picturePath);

// For the runs: the picture at picturePath shows inputPath's grid (same size); writes the
// world files when the input is georeferenced (GeoTIFF tags, ENVI map info, GDAL's).
void WriteWorldFilesFromInput(const std::string& picturePath, const std::string& inputPath);

// The georeferencing of any input by its last four characters: ".tif" GeoTIFF, ".img" ENVI
// (header beside it), names read through GDAL (".jp2", ".vrt", ...) GDAL's, otherwise none.
Georeference ReadInputGeoreference(const std::string& path);

}  // namespace lumesta
