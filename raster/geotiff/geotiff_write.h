#pragma once
// GeoTIFF export. Results (raw band files, as geotiff_extract.h gives them) are written into a
// new GeoTIFF that takes its size, sample type, compression, tiling, descriptive tags,
// georeferencing tags and GeoTIFF keys from an input GeoTIFF.
//
// The caller chooses every file name and owns every file; the only file these routines delete
// is their own unfinished output, after a failure.

#include <optional>
#include <string>

#include "core/host.h"

namespace lumesta {

// Writes the GeoTIFF outputPath from raw plane files (each width x height samples of
// bytesPerSample bytes, little-endian, as the extraction gives them), with the GeoTIFF
// inputPath as template: its size, BitsPerSample, Compression (none where it cannot encode
// the layout: JPEG in strips of one row, schemes libtiff only decodes), FillOrder and tiling (tiled
// input: tiles of its tile size; stripped input: strips of one row), Photometric RGB,
// PlanarConfiguration 2 (separate planes), its descriptive tags, ModelTiepoint,
// ModelPixelScale and ModelTransformation tags and all its GeoTIFF keys. ImageDescription
// becomes a bandList of 1..3 (or 1..4). SamplesPerPixel is 4 when bytesPerSample is 2 and
// fourPlanes is set (plane files 1..4 are written), otherwise 3 (plane files 1..3).
// bytesPerSample must match the template's BitsPerSample (1 for 8-bit, 2 for 16-bit).
// Shows the progress window "Writing GeoTIFF imagery ..." with Cancel while the rows are written.
// Returns:
//   1 when the output is complete (written whole and flushed);
//   0 without a message when the template cannot be opened or the output cannot be created
//     (the caller reports it);
//   0 after one of these messages: "GeoTIFF file with more than one directories is not
//     supported." (nothing is written), "Error: Writing GeoTIFF" (a plane file cannot be opened),
//     "Error with GeoTIFF writing.\n" (Cancel, a short plane file, a failed write, a sample
//     size other than the template's, or an output path naming the template or a plane file),
//     the "Cannot read this GeoTIFF image ..." refusal (a planar configuration that cannot be
//     copied).
// With noData, the output declares it (GDAL's no-data tag) in place of any the template has.
// A template read through GDAL that libtiff cannot open, or that has more than one directory
// (overviews), is no refusal: the result is written through GDAL with its size and
// georeferencing (gdal_geotiff_write.h, same returns and messages).
// A failed or cancelled write removes its partial output. Plane files are only read; the caller
// owns and deletes them.
int WriteGeoTiff(const std::string& inputPath, const std::string& outputPath,
                 const std::string& plane1, const std::string& plane2, const std::string& plane3,
                 int bytesPerSample, bool fourPlanes, Host& host,
                 std::optional<double> noData = std::nullopt);
int WriteGeoTiff(const std::string& inputPath, const std::string& outputPath,
                 const std::string& plane1, const std::string& plane2, const std::string& plane3,
                 const std::string& plane4, int bytesPerSample, bool fourPlanes, Host& host,
                 std::optional<double> noData = std::nullopt);

}  // namespace lumesta
