#pragma once
// The Nyquist gains of the sensors' modulation transfer functions: the response of each band at
// half its own sampling frequency. They shape the MTF-matched filters that degrade images for
// the reduced-resolution protocol and that MTF-matched fusion methods use.

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace lumesta {

struct SensorGains {
    const char* name;          // the --sensor value
    std::array<double, 4> ms;  // Blue, Green, Red, NIR
    double pan;
};

// The known sensors, "generic" last.
const std::vector<SensorGains>& KnownSensors();

// The sensor of that name; nullopt for an unknown name.
std::optional<SensorGains> FindSensor(const std::string& name);

// The sensors' names joined by ", " (for messages and help texts).
std::string SensorNames();

}  // namespace lumesta
