#pragma once
// What one detail-injection run fuses: the method, the pan and the MS bands as raster sources,
// the sensor's gains, where the MS lies on the pan's grid, and what marks no data.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fusion/fusion_method.h"
#include "raster/raster_source.h"

namespace lumesta {

// One band of a source.
struct BandInput {
    std::shared_ptr<RasterSource> source;
    int band = 0;
};

// The sources are read by one thread at a time.
struct InjectionInputs {
    FusionMethod method = FusionMethod::Gsa;  // a detail-injection method
    std::int64_t width = 0;                   // pan W and H, multiples of the ratio
    std::int64_t height = 0;
    int ratio = 4;                        // pan pixels per MS pixel along each side: 2, 4, 8 ...
    SampleType type = SampleType::Int16;  // of the MS and the fused bands: UInt8, UInt16, Int16
    BandInput pan;
    std::vector<BandInput>
        ms;  // 3 to 16 bands of the same size, W / ratio × H / ratio unless placed
    std::vector<double> msGains;  // the sensor's Nyquist gain of each band
    double panGain = 0.15;
    std::string tempBeside;  // the degraded pans' temporary file goes into this path's folder
    // Where the MS lies on the pan's grid, in MS pixels along each axis: MS sample j of the
    // 23-tap upsampling's grid (on pan pixel ratio · j + ratio / 2) takes the MS's content at
    // j − shift. The whole part moves the MS by whole pixels (outside the MS is no data); a
    // fraction resamples it at MS scale.
    double shiftX = 0;
    double shiftY = 0;
    // The values that mark no data in the pan and in every MS band; none: every sample counts.
    std::optional<double> panNoData;
    std::optional<double> msNoData;
    // Validity read from the sources' own masks (ReadMaskWindow: GDAL's mask of the band, or
    // the file's declared no-data value) instead of compared with panNoData / msNoData; the
    // output still marks invalid pixels with msNoData (else 0).
    bool panMask = false;
    bool msMask = false;
    // The values the run keeps after the fusion, when narrower than the sample type's (the
    // 16-bit tool's results: 0 to 2047): a valid value equal to msNoData moves by one toward
    // this range's middle, so that it stays valid within it.
    std::optional<std::array<double, 2>> keptRange;
};

}  // namespace lumesta
