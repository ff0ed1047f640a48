#include "imaging/sensor_gains.h"

namespace lumesta {
namespace {

constexpr const char* kGeneric = "generic";
constexpr double kGenericMs = 0.30;
constexpr double kGenericPan = 0.15;

// Every row of the gains table, each sensor's rows together, its four-band row first.
const std::vector<SensorGains>& GainRows()
{
    static const std::vector<SensorGains> kRows = {
        {"worldview2", {0.35, 0.35, 0.35, 0.27}, 0.11},
        {"worldview2", {0.35, 0.35, 0.35, 0.35, 0.35, 0.35, 0.35, 0.27}, 0.11},
        {"quickbird", {0.34, 0.32, 0.30, 0.22}, 0.15},
        {"ikonos", {0.26, 0.28, 0.29, 0.28}, 0.17},
        {"worldview3", {0.325, 0.355, 0.360, 0.350, 0.365, 0.360, 0.335, 0.315}, 0.14},
        {"geoeye1", {0.23, 0.23, 0.23, 0.23}, 0.16},
        {kGeneric, {kGenericMs, kGenericMs, kGenericMs, kGenericMs}, kGenericPan},
    };
    return kRows;
}

std::string RowCounts(const std::string& name)
{
    std::string counts;
    for (const SensorGains& row : GainRows()) {
        if (name != row.name) continue;
        counts += (counts.empty() ? "" : " and ") + std::to_string(row.ms.size());
    }
    return counts;
}

}  // namespace

const std::vector<SensorGains>& KnownSensors()
{
    static const std::vector<SensorGains> kSensors = [] {
        std::vector<SensorGains> sensors;
        for (const SensorGains& row : GainRows()) {
            if (sensors.empty() || std::string(sensors.back().name) != row.name)
                sensors.push_back(row);
        }
        return sensors;
    }();
    return kSensors;
}

std::optional<SensorGains> FindSensor(const std::string& name, int bands)
{
    if (name == kGeneric && bands > 0)
        return SensorGains{kGeneric,
                           std::vector<double>(static_cast<std::size_t>(bands), kGenericMs),
                           kGenericPan};
    for (const SensorGains& row : GainRows()) {
        if (name == row.name && row.ms.size() == static_cast<std::size_t>(bands)) return row;
    }
    return std::nullopt;
}

std::optional<SensorGains> SensorForBands(const std::string& name, int bands, Host& host)
{
    if (auto found = FindSensor(name, bands)) return found;
    const std::string counts = RowCounts(name);
    if (counts.empty()) {
        host.ShowMessage("Unknown sensor " + name + " (known: " + SensorNames() + ").");
    } else {
        host.ShowMessage("The sensor " + name + " has no Nyquist gains for " +
                         std::to_string(bands) + " MS bands (it has them for " + counts + ").");
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
