#pragma once
// The fusion methods the quality protocol can put through its reduced-resolution test. Each
// entry fuses a degraded scene exactly as `pansharpen --method NAME` (or `pansharpen-etm`) with
// its defaults would: the tool's own run on files in a work folder, with its default filter and
// clipping, without colour adjustment and without a picture. New methods add an entry here.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/host.h"
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
};

// The scene's files for methods fusing one multi-band MS file.
std::string MultiBandPanFile(const std::string& folder);
std::string MultiBandMsFile(const std::string& folder);

struct FusionMethodEntry {
    std::string name;                           // the --method value
    int bands = 4;                              // the MS band count it takes (0: one multi-band
                                                // MS file of 3 to 16 bands no tool takes)
    int ratio = 4;                              // the resolution ratio it takes
    SampleType sampleType = SampleType::Int16;  // the samples its files hold
    // Fuses the scene (its files linked into workFolder) in workFolder and describes the fused
    // bands (files in workFolder, at pan size, band order). Messages go to host; the log block of
    // the run is not kept.
    std::function<RunOutcome(const DegradedScene&, const std::string& workFolder, Host& host,
                             std::vector<BandSource>& fused)>
        fuse;
};

// Every method, in the order the protocol reports them.
const std::vector<FusionMethodEntry>& FusionMethodRegistry();

// The methods that take bands bands at ratio (the tools' own, else those fusing one multi-band
// MS file); names, when not empty, picks those (in the given order). False after "No fusion method
// takes N bands at ratio R." or "Unknown fusion method NAME for N bands at ratio R (known: ...).".
bool SelectFusionMethods(int bands, int ratio, const std::vector<std::string>& names, Host& host,
                         std::vector<const FusionMethodEntry*>& chosen);

}  // namespace lumesta
