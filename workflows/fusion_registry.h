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

// A reduced-scale scene in memory: the pan at panWidth × panHeight and the MS bands at
// 1 / ratio of that, row-major, as doubles (not yet rounded).
struct DegradedScene {
    std::int64_t panWidth = 0;
    std::int64_t panHeight = 0;
    int ratio = 4;
    std::vector<double> pan;
    std::vector<std::vector<double>> ms;
    SensorGains sensor{};
    // How the detail-injection methods place the MS: as it lies unless asked otherwise.
    RegisterChoice registerChoice{RegisterMode::Off};
};

struct FusionMethodEntry {
    std::string name;                           // the --method value
    int bands = 4;                              // the MS band count it takes
    int ratio = 4;                              // the resolution ratio it takes
    SampleType sampleType = SampleType::Int16;  // the samples its files hold
    bool learned = false;  // run only when named
    // Fuses the scene in workFolder and describes the fused bands (files in workFolder, at pan
    // size, band order). Messages go to host; the log block of the run is not kept.
    std::function<RunOutcome(const DegradedScene&, const std::string& workFolder, Host& host,
                             std::vector<BandSource>& fused)>
        fuse;
};

// The entries of a method table's rows, in the order the protocol reports them: the 16-bit
// tool's four bands at ratio 4 (the detail-injection methods first), then the Landsat tool's
// three bands at ratio 2.
std::vector<FusionMethodEntry> FusionMethodsOf(const MethodTable& table);

// The entries of FusionMethods().
const std::vector<FusionMethodEntry>& FusionMethodRegistry();

// The methods of registry that take bands bands at ratio: when names is empty every classical
// one, otherwise those named (in the given order). False after "No fusion method takes N bands
// at ratio R." or "Unknown fusion method NAME for N bands at ratio R (known: ...).".
bool SelectFusionMethods(int bands, int ratio, const std::vector<std::string>& names, Host& host,
                         std::vector<const FusionMethodEntry*>& chosen,
                         const std::vector<FusionMethodEntry>& registry = FusionMethodRegistry());

}  // namespace lumesta
