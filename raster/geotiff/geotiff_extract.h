#pragma once
// GeoTIFF import. GeoTIFF inputs are never processed in place: each needed band is first
// extracted into a headerless raw band file (row-major, 8-bit bytes or 16-bit little-endian
// samples), which every algorithm then reads. The results are written back as GeoTIFF by
// geotiff_write.h.
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

// What the extraction makes of the TIFF at path, judged from its first directory without
// decoding anything: Takes (it extracts it), Layout (it refuses the layout: tiles, samples other
// than 8- or 16-bit integers, an unknown planar configuration, subsampled rows) or Damaged (it
// is no TIFF libtiff reads, or its size is unusable).
enum class StripReaderVerdict { Takes, Layout, Damaged };
StripReaderVerdict JudgeForStripReader(const std::string& path);

}  // namespace lumesta
