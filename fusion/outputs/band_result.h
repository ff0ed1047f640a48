#pragma once
// The fused bands of a four-band run as one multi-band file (`pansharpen --output`/`--format`
// without --ms). The run fuses into its usual band files, kept as temporary files, and writes
// them into the result at the end; the result is staged like every output and reaches its name
// only when the run has finished.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/host.h"
#include "core/run_files.h"
#include "fusion/pansharpen_job.h"
#include "raster/output/band_file_writer.h"

namespace lumesta {

struct BandResult {
    BandFileFormat format = BandFileFormat::Envi;
    std::string path;                // the data file's final name
    std::vector<std::string> files;  // every file of the result, the data file first
};

// GeoTIFF for a name ending in .tif or .tiff (any case), else ENVI.
BandFileFormat FormatByName(const std::string& path);

// The result a job without --ms asks for; nothing when it gives neither --output nor --format.
// The format: --format, else by --output's extension (.img ENVI, .tif or .tiff GeoTIFF), else
// ENVI. The name: --output, else the first MS input's name with the suffix and the format's
// extension. False after a message (an ENVI result not named NAME.img).
bool NameBandResult(const PanSharpenJob& job, std::optional<BandResult>& result, Host& host);

// Refuses targets (results and pictures) of which one is one of inputs (any name of the same
// file) or that two share; false after a message naming --output and --bmp.
bool TargetsAreNew(const std::vector<std::string>& targets,
                   const std::vector<std::string>& inputs, Host& host);

// Refuses a result or picture that is one of inputs (or its .hdr/.rdc header; any name of the
// same file) or that two outputs share; false after a message. Holds whatever the answer to
// the overwrite question.
bool BandResultIsNew(const BandResult& result, const std::string& bmp,
                     const std::vector<std::string>& inputs, Host& host);

// Writes the raw 16-bit band files (width × height samples each, native order) as the bands of
// result, staged by files, with the pan's georeferencing and sample type (UInt16 for a UInt16
// pan, else Int16), bandNames and the no-data value when given. keepGoing is asked between
// strips; false from it cancels.
RunOutcome WriteBandResult(const BandResult& result, const std::vector<std::string>& bandFiles,
                           const std::vector<std::string>& bandNames, const std::string& panPath,
                           int width, int height, std::optional<double> noData, RunFiles& files,
                           const std::function<bool()>& keepGoing, Host& host);

}  // namespace lumesta
