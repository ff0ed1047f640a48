#include "workflows/run_images.h"

#include <map>

#include "composite/combine_steps.h"
#include "fusion/etm_steps.h"
#include "fusion/outputs/fusion_outputs.h"
#include "raster/file_name.h"

namespace lumesta {
namespace {

const char* const kBandNames[4] = {"Blue", "Green", "Red", "NIR"};

// The input MS bands: one multi-band file gives its selected bands, separate files band 0.
template <std::size_t N>
std::vector<BandFile> InputBands(const std::array<std::string, N>& paths,
                                 const std::array<int, N>& selected, bool oneFile,
                                 MatrixSize matrix)
{
    std::vector<BandFile> bands;
    for (std::size_t b = 0; b < N; ++b) {
        const int inside = oneFile ? (selected[b] >= 0 ? selected[b] : static_cast<int>(b)) : 0;
        bands.push_back({paths[b], inside, matrix, kBandNames[b]});
    }
    return bands;
}

template <std::size_t N>
std::vector<BandFile> ResultBands(const FusedOutputs<N>& outputs, MatrixSize matrix)
{
    std::vector<BandFile> bands;
    for (std::size_t b = 0; b < N; ++b) {
        if (outputs.kind == PanOutputKind::GeoTiff) {
            bands.push_back({outputs.geoTiff, static_cast<int>(b), matrix, kBandNames[b]});
        } else {
            bands.push_back({outputs.data[b], 0, matrix, kBandNames[b]});
        }
    }
    return bands;
}

}  // namespace

std::unique_ptr<RasterSource> OpenBandFiles(const std::vector<BandFile>& bands, std::string& error)
{
    std::map<std::string, std::shared_ptr<RasterSource>> opened;
    std::vector<std::unique_ptr<RasterSource>> parts;
    for (const BandFile& band : bands) {
        std::shared_ptr<RasterSource>& source = opened[band.path];
        if (!source) source = OpenRaster(band.path, band.matrix, error);
        if (!source) {
            error = FileNameOf(band.path) + ": " + error;
            return nullptr;
        }
        if (band.band >= source->Description().bands) {
            error = FileNameOf(band.path) + " has no band " + std::to_string(band.band + 1) + ".";
            return nullptr;
        }
        const RasterDescription& first =
            parts.empty() ? source->Description() : parts.front()->Description();
        if (source->Description().width != first.width ||
            source->Description().height != first.height) {
            error = FileNameOf(band.path) + " has another size than " +
                    FileNameOf(first.dataPaths.front()) + ".";
            return nullptr;
        }
        parts.push_back(PickBands(source, {band.band}, {band.name}));
    }
    if (parts.empty()) {
        error = "No bands to show.";
        return nullptr;
    }
    if (parts.size() == 1) return std::move(parts.front());
    const std::string format = parts.front()->Description().format;
    return StackSources(std::move(parts), format);
}

// Both pan-sharpening tools: the MS grid is the pan's divided by the tool's ratio, and every
// band has the tool's sample size.
template <typename Job>
RunImages ImagesOfFusionRun(const Job& job, int ratio, int sampleBytes)
{
    RunImages images;
    images.width = job.width;
    images.height = job.height;
    const MatrixSize panSize{job.width, job.height, sampleBytes};
    const MatrixSize msSize{job.width / ratio, job.height / ratio, sampleBytes};
    images.result = ResultBands(DeriveJobOutputs(job), panSize);
    images.inputs = InputBands(job.msPath, job.selectedIndex, HasMultiBandMsFile(job), msSize);
    images.pan = {job.panPath, 0, panSize, "Pan"};
    if (WritesBmp(job)) images.picture = job.bmpName;
    return images;
}

RunImages ImagesOfRun(const PanSharpenJob& job)
{
    return ImagesOfFusionRun(job, 4, 2);
}

RunImages ImagesOfRun(const EtmJob& job)
{
    return ImagesOfFusionRun(job, 2, 1);
}

RunImages ImagesOfRun(const BandCombinationJob& job)
{
    RunImages images;
    images.width = job.width;
    images.height = job.height;
    const MatrixSize size{job.width, job.height, job.depth == CombineDepth::Sixteen ? 2 : 1};
    const bool oneFile = HasMultiBandInput(job);
    images.inputs = InputBands(job.bandPath, job.selectedIndex, oneFile, size);
    if (WritesCompositeBmp(job)) {
        images.picture = job.bmpPath;
        for (int b = 0; b < 3; ++b) images.result.push_back({job.bmpPath, b, size, kBandNames[b]});
        images.sameUnits = false;
    } else {
        for (int b = 0; b < 3; ++b)
            images.result.push_back({job.geoTiffPath, 2 - b, size, kBandNames[b]});
    }
    return images;
}

}  // namespace lumesta
