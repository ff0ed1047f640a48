#include "imaging/sensor_gains.h"

namespace lumesta {

const std::vector<SensorGains>& KnownSensors()
{
    static const std::vector<SensorGains> kSensors = {
        {"worldview2", {0.35, 0.35, 0.35, 0.27}, 0.11},
        {"quickbird", {0.34, 0.32, 0.30, 0.22}, 0.15},
        {"ikonos", {0.26, 0.28, 0.29, 0.28}, 0.17},
        {"generic", {0.30, 0.30, 0.30, 0.30}, 0.15},
    };
    return kSensors;
}

std::optional<SensorGains> FindSensor(const std::string& name)
{
    for (const SensorGains& sensor : KnownSensors()) {
        if (name == sensor.name) return sensor;
    }
    return std::nullopt;
}

std::string SensorNames()
{
    std::string names;
    for (const SensorGains& sensor : KnownSensors()) {
        if (!names.empty()) names += ", ";
        names += sensor.name;
    }
    return names;
}

}  // namespace lumesta
