#pragma once
// The files a pan-sharpening run writes, under names of the run's own until it has finished:
// the fused bands and their headers, the GeoTIFF and the picture are staged beside their final
// names; the fused planes of a GeoTIFF result are temporary files, never kept.

#include "core/host.h"
#include "core/run_files.h"
#include "fusion/outputs/fusion_outputs.h"

namespace lumesta {

// Replaces every name of outputs (and bmp, when not empty) by the file the run writes in its
// place. The report shows the final names, so this comes after the report's output section.
// False after the output-file message when a file could not be made.
template <std::size_t N>
bool StageFusedOutputs(FusedOutputs<N>& outputs, bool writesGeoTiff, std::string& bmp,
                       RunFiles& files, Host& host)
{
    bool made = true;
    auto stage = [&](std::string& path) {
        if (path.empty()) return;
        path = files.StageOutput(path);
        made = made && !path.empty();
    };
    for (std::size_t band = 0; band < N; ++band) {
        if (outputs.kind == PanOutputKind::GeoTiff) {
            outputs.data[band] = files.CreateTemp(outputs.data[band]);
            made = made && !outputs.data[band].empty();
        } else {
            stage(outputs.data[band]);
        }
        stage(outputs.headers[band]);
    }
    if (writesGeoTiff) stage(outputs.geoTiff);
    stage(bmp);
    if (!made) host.ShowMessage(RunFiles::kCannotWriteOutput);
    return made;
}

// The outputs a run asks about before replacing them: the GeoTIFF result's planes are the
// run's own temporary files and are not among them.
template <std::size_t N>
std::vector<std::string> FusedTargets(const FusedOutputs<N>& outputs, bool writesGeoTiff,
                                      bool writesBmp, const std::string& bmp)
{
    std::vector<std::string> paths;
    for (std::size_t band = 0; band < N; ++band) {
        if (outputs.kind != PanOutputKind::GeoTiff) paths.push_back(outputs.data[band]);
        if (!outputs.headers[band].empty()) paths.push_back(outputs.headers[band]);
    }
    if (writesGeoTiff) paths.push_back(outputs.geoTiff);
    if (writesBmp) paths.push_back(bmp);
    return paths;
}

}  // namespace lumesta
