#pragma once
// GeoTIFF import and export. GeoTIFF inputs are never processed in place: each needed band is
// first extracted into a headerless raw band file (row-major, 8-bit bytes or 16-bit
// little-endian samples), which every algorithm then reads. Results (raw band files again) are
// written into a new GeoTIFF that takes its size, sample type, compression, tiling,
// descriptive tags, georeferencing tags and GeoTIFF keys from an input GeoTIFF.
//
// The caller chooses every file name and owns every file: temporary raw files are named and
// deleted by the run. The only files these routines delete are their own unfinished outputs,
// after a failure.

#include <string>

#include "core/host.h"

namespace lumesta {

// Extracts every sample of the GeoTIFF at geoTiffPath into the raw file rawPath (created or
// truncated). A single-band GeoTIFF gives its band; a multi-sample GeoTIFF gives its bands one
// after the other (band-sequential), whether it stores them as separate planes or
// pixel-interleaved. Stripped inputs only, 8 or 16 bits per sample, any compression libtiff
// decodes. Lets pending messages be handled (host.PumpPendingMessages) before each row or strip.
// Returns 1 on success, 0 on failure after showing one of:
//   "Error when reading GeoTIFF.\n" (cannot open, cannot allocate, strips shorter than the
//     declared size or undecodable),
//   "Cannot read this GeoTIFF image which may be in a compressed format. \nPlease convert this
//     GeoTIFF image to other image formats supported.\n" (tiled or other unsupported layout),
//   "Error: Cannot generate temporary files when reading GeoTIFF. \nYou may wish to copy files
//     from CD-ROM to hard disk." (raw file cannot be created or written).
// After a failure the raw file does not exist (a partial one is removed); after success the
// caller owns it and deletes it.
int ExtractGeoTiff(const std::string& geoTiffPath, const std::string& rawPath, Host& host);

// As ExtractGeoTiff, but writes only the sample (band) sampleIndex (0-based, 0..3 in the
// dialogs) as one band: the selected plane of a separate-planes GeoTIFF, or exactly that sample
// of each pixel of a pixel-interleaved one. An index the file does not have is a failure with
// "Error when reading GeoTIFF.\n". Same returns, messages and ownership as ExtractGeoTiff.
int ExtractGeoTiffSample(const std::string& geoTiffPath, const std::string& rawPath,
                         int sampleIndex, Host& host);

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
// A failed or cancelled write removes its partial output. Plane files are only read; the caller
// owns and deletes them.
int WriteGeoTiff(const std::string& inputPath, const std::string& outputPath,
                 const std::string& plane1, const std::string& plane2, const std::string& plane3,
                 int bytesPerSample, bool fourPlanes, Host& host);
int WriteGeoTiff(const std::string& inputPath, const std::string& outputPath,
                 const std::string& plane1, const std::string& plane2, const std::string& plane3,
                 const std::string& plane4, int bytesPerSample, bool fourPlanes, Host& host);

}  // namespace lumesta
