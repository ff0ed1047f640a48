#pragma once
// The job record of the fusion quality tool, as its command line and its dialog fill it.

#include <string>
#include <vector>

#include "fusion/registration/register_choice.h"
#include "raster/no_data_choice.h"
#include "raster/raster_layout.h"

namespace lumesta {

enum class QualityProtocol { Reduced, Full, Wald, Degrade };

struct QualityJob {
    QualityProtocol protocol = QualityProtocol::Reduced;
    std::vector<std::string> fused;      // reduced, full
    std::vector<std::string> reference;  // reduced
    std::vector<std::string> ms;         // full, wald, degrade
    std::string pan;                     // full, wald, degrade
    GenericSize generic;                 // for headerless matrices
    int ratio = 4;
    bool ratioGiven = false;  // --ratio given (a georeferenced pair's own ratio must agree)
    int cut = 0;                       // reduced: pixels left out at every border
    std::string sensor = "generic";    // full, wald, degrade
    std::vector<std::string> methods;  // wald: empty for every method that fits
    std::string keepFolder;            // wald: degraded inputs and fused results
    // wald: where the detail-injection methods place the reduced MS (off: as it lies).
    RegisterChoice registerChoice{RegisterMode::Off};
    std::string outFolder;             // degrade
    std::string mapPath;               // reduced, full: per-block map as a float TIFF
    NoDataChoice noData;               // every input
    NoDataChoice panNoData;            // full, wald, degrade: the pan (wins over noData)
    NoDataChoice msNoData;             // full, wald, degrade: the MS (wins over noData)
};

}  // namespace lumesta
