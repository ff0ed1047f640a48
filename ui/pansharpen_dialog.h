#pragma once
// "Pan-Sharpening Module (For 16-bit data)": a view of one PanSharpenJob. Its handlers hand each
// choice to the engine's browse functions and then show the job again; OK runs the job with the
// log document's counters.

#include <array>
#include <string>

#include "fusion/fusion_batch.h"
#include "fusion/fusion_browse.h"
#include "fusion/pansharpen_job.h"
#include "fusion/fusion_run.h"
#include "fusion/pansharpen_options.h"
#include "ui/fusion_job_dialog.h"
#include "workflows/quality_line.h"

namespace lumesta {

// The 16-bit tool's engine side, for PanSharpenJobDialog.
struct PanSharpen16Traits {
    using Job = PanSharpenJob;
    static constexpr std::array<const char*, 4> kBandLabels{"Blue Band", "Green Band", "Red Band",
                                                            "NIR Band"};
    static constexpr bool kLandsatTool = false;
    static constexpr auto BrowsePan = &lumesta::BrowsePan;
    static constexpr auto BrowseBlue = &lumesta::BrowseBlue;
    static constexpr auto BrowseOtherBand = &lumesta::BrowseOtherBand;
    static constexpr auto SelectBand = &lumesta::SelectBand;
    static constexpr auto SetSuffix = &lumesta::SetSuffix;
    static constexpr auto Options = &PanSharpenOptions;
    static constexpr auto ChooseBmp = &lumesta::ChooseBmp;
    static constexpr auto Run = &RunPanSharpenWithQuality;
    static BatchOutcome RunBatch(PanSharpenJob& job, RunCounters& counters, Host& host)
    {
        return RunPanSharpenBatch(job, counters, host);
    }
};

class PanSharpenDialog : public PanSharpenJobDialog<PanSharpen16Traits> {
public:
    // sensor: the --sensor name the Sensor list starts at (the menu command's sensor).
    PanSharpenDialog(RunCounters& counters, Host& host, QWidget* parent,
                     const std::string& sensor = "generic");

    QComboBox* SensorList() const { return m_sensor; }
    // The menu command's sensor, over a restored job's.
    void ChooseSensor(const std::string& sensor);

    // "More >>": "More Paramaters ..." opens at its defaults; on OK its filter, band flags and
    // colour amounts replace the job's.
    void OnMore() override;

protected:
    void ShowJob() override;
    // The fresh job keeps the sensor the dialog was opened with.
    void ResetJob() override;

private:
    void AddSensorList(const std::string& sensor);

    QComboBox* m_sensor = nullptr;
    std::string m_openedSensor;
};

}  // namespace lumesta
