#pragma once
// "Pan-Sharpening Module (For 16-bit data)": a view of one PanSharpenJob. Its handlers hand each
// choice to the engine's browse functions and then show the job again; OK runs the job with the
// log document's counters.

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "fusion/fusion_batch.h"
#include "fusion/fusion_browse.h"
#include "fusion/pansharpen_job.h"
#include "fusion/fusion_run.h"
#include "fusion/pansharpen_options.h"
#include "raster/raster_source.h"
#include "ui/alignment_arrows.h"
#include "ui/fusion_job_dialog.h"
#include "workflows/quality_line.h"

namespace lumesta {

// The 16-bit tool's engine side, for PanSharpenJobDialog.
struct PanSharpen16Traits {
    using Job = PanSharpenJob;
    static constexpr std::array<const char*, 4> kBandLabels{"Blue Band", "Green Band", "Red Band",
                                                            "NIR Band"};
    static constexpr bool kLandsatTool = false;
    static constexpr bool kOffersAuto = true;  // "Best for this scene" (--method auto)
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

class DeliveryGroup;
}  // namespace lumesta
class QSpinBox;
namespace lumesta {

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

    // "Check alignment": estimates the MS's offset on the pan on the worker thread (Escape stops
    // it), shows dx, dy and the confidence, and hands the block grid to the alignment viewer.
    void OnCheckAlignment();
    // Where "Check alignment" shows its arrows over the pan (the main window's viewer).
    void SetAlignmentViewer(std::function<void(const AlignmentArrows&)> viewer)
    {
        m_alignmentViewer = std::move(viewer);
    }
    // The last check's result, while the inputs it measured are still chosen.
    const std::optional<AlignmentArrows>& Alignment() const { return m_alignment; }

    // "Multiband MS file": one MS file of any band count (--ms), every band fused; the four band
    // rows give way to it, and choosing a Blue band gives them back. An empty path drops it.
    void OnMsFileChosen(const QString& path);
    void OnBandChosen(int band, const QString& path) override;
    QLineEdit* MsFileField() const { return m_msFile; }
    QSpinBox* PictureBand(int channel) const { return m_pictureBands[channel]; }

    DeliveryGroup* Delivery() const { return m_delivery; }
    QLabel* PanInfo() const { return m_panInfo; }
    QLabel* MsInfo() const { return m_msInfo; }

protected:
    void ShowJob() override;
    // The fresh job keeps the sensor the dialog was opened with.
    void ResetJob() override;

private:
    void AddSensorList(const std::string& sensor);
    void AddInputInfo();
    void AddMsFileRow();
    void ShowMsFile();
    void TakePictureBands();
    void TakeNoData();
    void AddDeliveryGroup();
    void BindDelivery();
    void ShowDelivery();
    // The lines under the pan and the MS, read again only when a path changes.
    void ShowInputInfo();
    // The MS files the alignment is measured with: one multi-band file or the bands chosen.
    std::vector<std::string> AlignmentMsPaths() const;
    void ApplyChoice(const std::string& option, const std::string& value);

    QComboBox* m_sensor = nullptr;
    std::string m_openedSensor;
    DeliveryGroup* m_delivery = nullptr;
    QLineEdit* m_msFile = nullptr;
    QPushButton* m_msBrowse = nullptr;
    std::array<QSpinBox*, 3> m_pictureBands{};
    bool m_filling = false;  // the spin boxes are being set from the job
    QLabel* m_panInfo = nullptr;
    QLabel* m_msInfo = nullptr;
    std::string m_describedPan;
    std::string m_describedMs;
    std::optional<RasterDescription> m_panDescription;
    std::optional<RasterDescription> m_msDescription;
    std::optional<AlignmentArrows> m_alignment;
    std::string m_alignmentKey;  // the inputs the shown alignment was measured on
    std::function<void(const AlignmentArrows&)> m_alignmentViewer;
};

}  // namespace lumesta
