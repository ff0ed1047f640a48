#pragma once
// The fusion methods the quality protocol can put through its reduced-resolution test. Each
// entry fuses a degraded scene exactly as `pansharpen --method NAME` (or `pansharpen-etm`) with
// its defaults would: the tool's own run on files in a work folder, with its default filter and
// clipping, without colour adjustment and without a picture. The entries come from the method
// table's rows.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/host.h"
#include "fusion/fusion_method.h"
#include "fusion/registration/register_choice.h"
#include "imaging/band_stream.h"
#include "imaging/sensor_gains.h"

namespace lumesta {

// A reduced-scale scene in files: the pan at panWidth × panHeight and bands MS bands at 1/ratio
// of that, in folder. For the four- and three-band tools the files they take (ToolPanFile,
// ToolBandFile: one ENVI band each, in the method's sample type); for other band counts pan.img
// and ms.img (ENVI, every MS band in one file, the inputs' sample types).
struct DegradedScene {
    std::int64_t panWidth = 0;
    std::int64_t panHeight = 0;
    int ratio = 4;
    int bands = 4;
    SensorGains sensor{};
    std::string folder;
    // How the detail-injection methods place the MS: as it lies unless asked otherwise.
    RegisterChoice registerChoice{RegisterMode::Off};
};

// The scene's files for methods fusing one multi-band MS file.
std::string MultiBandPanFile(const std::string& folder);
std::string MultiBandMsFile(const std::string& folder);

struct FusionMethodEntry {
    std::string name;                           // the --method value
    std::string label;                          // the method as the dialogs name it
    int bands = 4;                              // the MS band count it takes (0: one multi-band
                                                // MS file of fewestBands to mostBands bands no
                                                // tool takes)
    int ratio = 4;                              // the resolution ratio it takes
    SampleType sampleType = SampleType::Int16;  // the samples its files hold
    bool learned = false;  // run only when named
    // Fuses the scene (its files linked into workFolder) in workFolder and describes the fused
    // bands (files in workFolder, at pan size, band order). Messages go to host; the log block of
    // the run is not kept.
    std::function<RunOutcome(const DegradedScene&, const std::string& workFolder, Host& host,
                             std::vector<BandSource>& fused)>
        fuse;
    int fewestBands = 0;  // with bands 0: the band counts of the multi-band MS it fuses
    int mostBands = 0;
};

// The entries of a method table's rows, in the order the protocol reports them: the 16-bit
// tool's four bands at ratio 4 (the detail-injection methods first), then the Landsat tool's
// three bands at ratio 2, then the detail-injection methods on one multi-band MS file (the band
// counts no tool takes).
std::vector<FusionMethodEntry> FusionMethodsOf(const MethodTable& table);

// The entries of FusionMethods().
const std::vector<FusionMethodEntry>& FusionMethodRegistry();

// The methods of registry that take bands bands at ratio (the tools' own, else those fusing one
// multi-band MS file): when names is empty every classical one, otherwise those named (in the
// given order). False after "No fusion method takes N bands at ratio R." or "Unknown fusion
// method NAME for N bands at ratio R (known: ...).".
bool SelectFusionMethods(int bands, int ratio, const std::vector<std::string>& names, Host& host,
                         std::vector<const FusionMethodEntry*>& chosen,
                         const std::vector<FusionMethodEntry>& registry = FusionMethodRegistry());

}  // namespace lumesta
