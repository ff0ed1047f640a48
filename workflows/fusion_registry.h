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

// A reduced-scale scene in memory: the pan at panWidth × panHeight and the MS bands at
// 1 / ratio of that, row-major, as doubles (not yet rounded).
struct DegradedScene {
    std::int64_t panWidth = 0;
    std::int64_t panHeight = 0;
    int ratio = 4;
    std::vector<double> pan;
    std::vector<std::vector<double>> ms;
    SensorGains sensor{};
};

struct FusionMethodEntry {
    std::string name;                           // the --method value
    std::string label;                          // the method as the dialogs name it
    int bands = 4;                              // the MS band count it takes
    int ratio = 4;                              // the resolution ratio it takes
    SampleType sampleType = SampleType::Int16;  // the samples its files hold
    // Fuses the scene in workFolder and describes the fused bands (files in workFolder, at pan
    // size, band order). Messages go to host; the log block of the run is not kept.
    std::function<RunOutcome(const DegradedScene&, const std::string& workFolder, Host& host,
                             std::vector<BandSource>& fused)>
        fuse;
};

// Every method, in the order the protocol reports them.
const std::vector<FusionMethodEntry>& FusionMethodRegistry();

// The methods that take bands bands at ratio; names, when not empty, picks those (in the given
// order). False after "No fusion method takes N bands at ratio R." or "Unknown fusion method
// NAME for N bands at ratio R (known: ...).".
bool SelectFusionMethods(int bands, int ratio, const std::vector<std::string>& names, Host& host,
                         std::vector<const FusionMethodEntry*>& chosen);

// Writes an ENVI band (.img and .hdr) of the given type from doubles, rounded to the nearest
// integer (ties to even). False after "The samples do not fit the METHOD method's SIZE-bit
// range." or a write failure message.
bool WriteEnviBand(const std::string& imgPath, const std::string& bandName,
                   const std::vector<double>& samples, std::int64_t width, std::int64_t height,
                   SampleType type, Host& host);

}  // namespace lumesta
