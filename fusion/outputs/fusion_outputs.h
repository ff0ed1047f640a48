#pragma once
// Output names of the pan-sharpening runs, derived from the job as the runs report them.

#include <array>
#include <string>
#include <tuple>

#include "fusion/etm_job.h"
#include "fusion/pansharpen_job.h"
#include "raster/file_name.h"
#include "raster/reader_choice.h"

namespace lumesta {

// The kinds of result the MS inputs lead to.
enum class PanOutputKind {
    MultiBandEnvi,  // one multi-band ENVI file: base + suffix + "1.img" ..., ENVI headers
    Envi,           // one ENVI file per band: path without ".img" + suffix + ".img", ENVI headers
    Idrisi,         // Idrisi32 files: ".rst" data with ".rdc" headers
    Generic,        // generic matrices: each path + suffix, no header
    GeoTiff,        // GeoTIFF (or GDAL-read) pan and MS: intermediate raw files (suffix +
                    // "_1" ...), then one GeoTIFF result named after the pan
};

template <std::size_t N>
struct FusedOutputs {
    PanOutputKind kind = PanOutputKind::Generic;
    std::array<std::string, N> data;     // fused band files in band order
    std::array<std::string, N> headers;  // empty where the kind has no header
    std::string geoTiff;                 // the one GeoTIFF result (GeoTiff kind only)
    std::string bmp;                     // the picture the run writes (empty: none)
};

// The MS inputs as the dialog holds them: paths and extensions per band, the raster kinds
// (index 0 the pan), and whether one multi-band ENVI file supplies every band.
template <std::size_t N>
FusedOutputs<N> DeriveFusedOutputs(const std::string& panPath, const std::string& panExt,
                                   const std::array<std::string, N>& msPath,
                                   const std::array<std::string, N>& msExt,
                                   const std::array<RasterKind, N + 1>& rasterKind, bool multiBandEnvi,
                                   const std::string& suffix)
{
    FusedOutputs<N> outputs;
    bool allMsExtracted = true;
    bool envi = true;
    bool idrisi = true;
    for (std::size_t band = 0; band < N; ++band) {
        allMsExtracted = allMsExtracted && rasterKind[band + 1] == RasterKind::GeoTiffOrMatrix;
        envi = envi && msExt[band] == "img";
        idrisi = idrisi && msExt[band] == "rst";
    }
    for (std::size_t band = 0; band < N; ++band) {
        const std::string number = std::to_string(band + 1);
        if (IsExtractedExtension(panExt) && allMsExtracted) {
            // A pan read through GDAL gives a GeoTIFF too, named after the pan's stem.
            outputs.kind = PanOutputKind::GeoTiff;
            outputs.data[band] = msPath[band] + suffix + "_" + number;
            outputs.geoTiff =
                (panExt == "tif" ? WithoutLastFour(panPath) : WithoutExtension(panPath)) + suffix +
                ".tif";
        } else if (multiBandEnvi) {
            outputs.kind = PanOutputKind::MultiBandEnvi;
            const std::string base = WithoutLastFour(msPath[0]) + suffix + number;
            outputs.data[band] = base + ".img";
            outputs.headers[band] = base + ".hdr";
        } else if (envi || idrisi) {
            outputs.kind = envi ? PanOutputKind::Envi : PanOutputKind::Idrisi;
            const std::string base = WithoutLastFour(msPath[band]) + suffix;
            outputs.data[band] = base + (envi ? ".img" : ".rst");
            outputs.headers[band] = base + (envi ? ".hdr" : ".rdc");
        } else {
            outputs.kind = PanOutputKind::Generic;
            outputs.data[band] = msPath[band] + suffix;
        }
    }
    return outputs;
}

// Which pictures a job writes: outside batch mode both (the GeoTIFF only for GeoTIFF inputs);
// in batch mode as the file's output format indicator says (0 both, 1 BMP only, 2 GeoTIFF only);
// never for a quality protocol run.
template <typename Job>
bool WritesBmp(const Job& job)
{
    return !job.protocolRun &&
           (!job.batchMode || job.batchOutputFormat != BatchOutputFormat::GeoTiffOnly);
}

// The fused band (0-based) a channel of the picture shows: channel 0 blue, 1 green, 2 red. The
// 16-bit tool's --rgb R,G,B (without --ms) picks them among its four bands; by default, and in
// the Landsat tool, Blue, Green and Red show as themselves.
inline int PictureBand(const PanSharpenJob& job, int channel)
{
    if (job.delivery.Active() || job.delivery.rgb[0] == 0) return channel;
    return job.delivery.rgb[2 - channel] - 1;
}
inline int PictureBand(const EtmJob& /*job*/, int channel)
{
    return channel;
}

// Whether fused band b shows in the picture.
template <typename Job>
bool ShownInPicture(const Job& job, int b)
{
    for (int channel = 0; channel < 3; ++channel) {
        if (PictureBand(job, channel) == b) return true;
    }
    return false;
}

template <typename Job>
bool WritesGeoTiff(const Job& job, PanOutputKind kind)
{
    return kind == PanOutputKind::GeoTiff &&
           (!job.batchMode || job.batchOutputFormat != BatchOutputFormat::BmpOnly);
}

using PanOutputs = FusedOutputs<4>;

// True when one file holds every MS band: four for the 16-bit tool, three or more for the
// Landsat tool.
inline bool HasMultiBandMsFile(const PanSharpenJob& job) { return job.msBandCount == 4; }
inline bool HasMultiBandMsFile(const EtmJob& job) { return job.msBandCount >= 3; }

// The outputs of a job of either tool, with the batch job's GeoTIFF in batch mode.
template <typename Job>
auto DeriveJobOutputs(const Job& job)
{
    constexpr std::size_t kBands = std::tuple_size<decltype(job.msPath)>::value;
    const bool multiBandEnvi =
        HasMultiBandMsFile(job) && job.panExt == "img" && job.msHeaderType == "ENVI";
    FusedOutputs<kBands> outputs = DeriveFusedOutputs<kBands>(
        job.panPath, job.panExt, job.msPath, job.msExt, job.rasterKind, multiBandEnvi, job.suffix);
    if (job.batchMode) outputs.geoTiff = job.batchGeoTiff;
    return outputs;
}

}  // namespace lumesta
