#pragma once
// The Nyquist gains of the sensors' modulation transfer functions: the response of each band at
// half its own sampling frequency. They shape the MTF-matched filters that degrade images for
// the reduced-resolution protocol and that MTF-matched fusion methods use. A sensor has a row of
// gains per band count it delivers (WorldView-2: four and eight bands); "generic" serves any
// count.

#include <optional>
#include <string>
#include <vector>

#include "core/host.h"

namespace lumesta {

struct SensorGains {
    const char* name;        // the --sensor value
    std::vector<double> ms;  // one per MS band, in band order
    double pan;
};

// One row per sensor, as the choice lists show them: its four-band row where it has one (else
// its only row), "generic" last.
const std::vector<SensorGains>& KnownSensors();

// The sensor's row for an MS of bands bands ("generic": any count, 0.30 each); nothing for an
// unknown name or a sensor without a row for that count.
std::optional<SensorGains> FindSensor(const std::string& name, int bands = 4);

// The same; nothing after "Unknown sensor NAME (known: ...)." or "The sensor NAME has no Nyquist
// gains for N MS bands (it has them for 8)."
std::optional<SensorGains> SensorForBands(const std::string& name, int bands, Host& host);

// The sensors' names joined by ", " (for messages and help texts).
std::string SensorNames();

}  // namespace lumesta
