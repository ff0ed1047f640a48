#pragma once
// The inputs of a quality job resolved into bands: sizes, band counts and ratio checked, the
// sensor's gains for the MS band count, and each band's no-data value (the option given for it,
// else --nodata, else its file's own declaration).

#include <optional>
#include <vector>

#include "imaging/band_stream.h"
#include "imaging/sensor_gains.h"
#include "workflows/quality_job.h"

namespace lumesta {

struct QualityInputs {
    std::vector<BandSource> fused;
    std::vector<BandSource> reference;
    std::vector<BandSource> ms;
    BandSource pan;
    SensorGains sensor{};
    // Per band of the lists above, and the pan's.
    std::vector<std::optional<double>> fusedNoData;
    std::vector<std::optional<double>> referenceNoData;
    std::vector<std::optional<double>> msNoData;
    std::optional<double> panNoData;
    // The resolution ratio: --ratio, or the georeferenced pair's own.
    int ratio = 4;
};

// Resolves and checks the job's inputs. A pan and MS both georeferenced are placed by their
// geotransforms (the ratio theirs; a --ratio must agree); where their extents differ, the bands
// are given the part both cover (BandSource's part). False after the message: sizes that
// disagree, a ratio that is not a power of two, a georeferenced pair on other coordinate systems,
// rotated grids, another ratio, a fraction of an MS pixel apart or sharing too little, sides that
// are not multiples of the ratio, band counts that differ, an unknown sensor or one without gains
// for the band count, a no-data value outside the samples' type, unreadable or truncated files.
bool ResolveQualityInputs(const QualityJob& job, Host& host, QualityInputs& in);

}  // namespace lumesta
