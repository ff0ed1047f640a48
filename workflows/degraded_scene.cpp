#include "workflows/degraded_scene.h"

#include <cmath>
#include <memory>

#include "imaging/band_window.h"
#include "imaging/mtf_filter.h"
#include "raster/envi_band_writer.h"

namespace lumesta {
namespace {

const char* const kToolBandNames[] = {"Blue", "Green", "Red", "NIR"};
const char* const kToolBandFiles[] = {"blue.img", "green.img", "red.img", "nir.img"};

// Rows between two asks whether to go on.
constexpr std::int64_t kPumpRows = 64;

// One input band degraded: its reader, the window the filter needs, the filter.
struct DegradedBand {
    DegradedBand(const BandSource& source, std::optional<double> noData, double gain, int ratio)
        : reader(source, noData),
          rows(reader, 0, BandWidth(source), kMtfTaps + 1),
          filter(rows, MtfGaussian(gain, ratio), ratio, ratio / 2)
    {
    }
    BandWindowSource reader;
    WindowRowStream rows;
    MtfFilterStream filter;
};

// One degraded row written to the files that take it.
class BandOutputs {
public:
    BandOutputs(std::optional<double> noData, std::vector<BandFileWriter*> multiBand)
        : m_noData(noData), m_multiBand(std::move(multiBand))
    {
    }
    bool AddToolFile(const std::string& path, const char* name, std::int64_t width,
                     std::int64_t height, SampleType type, Host& host)
    {
        m_tools.push_back(std::make_unique<EnviBandWriter>());
        return m_tools.back()->Create(path, name, width, height, type, host);
    }
    // rows[k]: band k's degraded row; no data (NaN) becomes the no-data value.
    bool Write(std::vector<std::vector<double>>& rows)
    {
        std::vector<const double*> pointers;
        for (std::size_t k = 0; k < rows.size(); ++k) {
            for (double& value : rows[k]) {
                if (std::isnan(value)) value = m_noData.value_or(0);
            }
            pointers.push_back(rows[k].data());
            if (k < m_tools.size() && !m_tools[k]->WriteRow(rows[k].data())) return false;
        }
        for (BandFileWriter* writer : m_multiBand) {
            if (!writer->WriteRows(pointers.data(), 1)) return false;
        }
        return true;
    }
    bool Finish()
    {
        for (auto& tool : m_tools) {
            if (!tool->Finish()) return false;
        }
        return true;
    }

private:
    std::optional<double> m_noData;
    std::vector<BandFileWriter*> m_multiBand;
    std::vector<std::unique_ptr<EnviBandWriter>> m_tools;
};

// Degrades bands in lockstep into outputs. False after a message or a cancel.
bool DegradeBands(std::vector<std::unique_ptr<DegradedBand>>& bands, BandOutputs& outputs,
                  const QualityPump& pump)
{
    const std::int64_t width = bands[0]->filter.Width();
    const std::int64_t height = bands[0]->filter.Height();
    std::vector<std::vector<double>> rows(bands.size(),
                                          std::vector<double>(static_cast<std::size_t>(width)));
    for (std::int64_t y = 0; y < height; ++y) {
        for (std::size_t k = 0; k < bands.size(); ++k) {
            const double* row = bands[k]->filter.Row(y);
            if (bands[k]->filter.Failed()) return false;
            std::copy(row, row + width, rows[k].begin());
        }
        if (!outputs.Write(rows)) return false;
        if ((y + 1) % kPumpRows == 0 && !pump()) return false;
    }
    return outputs.Finish();
}

bool OpenBands(std::vector<std::unique_ptr<DegradedBand>>& bands, Host& host)
{
    for (auto& band : bands) {
        if (!band->reader.Open(host)) return false;
    }
    return true;
}

}  // namespace

std::string ToolPanFile(const std::string& folder)
{
    return folder + "/pan.img";
}

std::string ToolBandFile(const std::string& folder, std::size_t band)
{
    return folder + "/" + kToolBandFiles[band];
}

bool DegradeIntoFiles(const BandSource& pan, std::optional<double> panNoData,
                      const std::vector<BandSource>& ms, std::optional<double> msNoData, int ratio,
                      const SensorGains& sensor, const DegradationTargets& targets,
                      const QualityPump& pump, Host& host)
{
    const bool tools = !targets.toolFolder.empty();
    std::vector<std::unique_ptr<DegradedBand>> panBand;
    panBand.push_back(std::make_unique<DegradedBand>(pan, panNoData, sensor.pan, ratio));
    BandOutputs panOutputs(panNoData, targets.pan);
    const std::int64_t width = BandWidth(pan) / ratio;
    const std::int64_t height = BandHeight(pan) / ratio;
    if (!OpenBands(panBand, host) ||
        (tools && !panOutputs.AddToolFile(ToolPanFile(targets.toolFolder), "Pan", width, height,
                                          targets.toolType, host)) ||
        !DegradeBands(panBand, panOutputs, pump)) {
        return false;
    }
    panBand.clear();
    std::vector<std::unique_ptr<DegradedBand>> msBands;
    BandOutputs msOutputs(msNoData, targets.ms);
    for (std::size_t k = 0; k < ms.size(); ++k) {
        msBands.push_back(std::make_unique<DegradedBand>(ms[k], msNoData, sensor.ms[k], ratio));
        if (tools && k < std::size(kToolBandFiles) &&
            !msOutputs.AddToolFile(ToolBandFile(targets.toolFolder, k), kToolBandNames[k],
                                   width / ratio, height / ratio, targets.toolType, host)) {
            return false;
        }
    }
    return OpenBands(msBands, host) && DegradeBands(msBands, msOutputs, pump);
}

}  // namespace lumesta
