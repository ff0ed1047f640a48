#pragma once
// The reduced-resolution scene of the Wald protocol and of `degrade`, made a row at a time: each
// band filtered by the sensor's MTF-matched Gaussian and decimated (the protocol's degradation),
// straight into the files that take it, so that no band is ever held whole. No data in an input
// spreads to every degraded pixel whose filter reaches it and is written as the band's no-data
// value.

#include <optional>
#include <string>
#include <vector>

#include "assess/quality_metrics.h"
#include "imaging/band_stream.h"
#include "imaging/sensor_gains.h"
#include "raster/output/band_file_writer.h"

namespace lumesta {

// The fusion tools' band files in a folder: pan.img, then blue.img, green.img, red.img, nir.img
// for the MS bands.
std::string ToolPanFile(const std::string& folder);
std::string ToolBandFile(const std::string& folder, std::size_t band);

struct DegradationTargets {
    // The fusion tools' band files (ToolPanFile, ToolBandFile) in this folder, in toolType
    // (rounded; a sample outside the type stops the run with the tools' message); empty: none.
    std::string toolFolder;
    SampleType toolType = SampleType::Int16;
    // Files of the degraded pan (one band) and of the degraded MS (every band), written by the
    // result writers (rounded and clipped to their types). The caller finishes them.
    std::vector<BandFileWriter*> pan;
    std::vector<BandFileWriter*> ms;
};

// Degrades pan and ms (sides multiples of ratio, checked by the caller) with the sensor's gains
// for the band count, reading no data as panNoData / msNoData. False after a message (a reader's
// or a writer's) or when pump answered false.
bool DegradeIntoFiles(const BandSource& pan, std::optional<double> panNoData,
                      const std::vector<BandSource>& ms, std::optional<double> msNoData, int ratio,
                      const SensorGains& sensor, const DegradationTargets& targets,
                      const QualityPump& pump, Host& host);

}  // namespace lumesta
