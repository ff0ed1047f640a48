#pragma once
// "Pan-Sharpening Module (For 8-bit Landsat ETM+ data)": a view of one EtmJob, laid out as the
// 16-bit dialog with Blue, Green and Red rows only. OK runs the job with the log document's
// counters (the 16-bit and Landsat tools number their reports together).

#include <array>

#include "fusion/fusion_browse.h"
#include "fusion/etm_job.h"
#include "fusion/etm_options.h"
#include "fusion/fusion_run.h"
#include "fusion/fusion_batch.h"
#include "ui/fusion_job_dialog.h"
#include "workflows/quality_line.h"

namespace lumesta {

// The Landsat ETM+ tool's engine side, for PanSharpenJobDialog.
struct EtmTraits {
    using Job = EtmJob;
    static constexpr std::array<const char*, 3> kBandLabels{"Blue Band", "Green Band", "Red Band"};
    static constexpr bool kLandsatTool = true;
    static constexpr bool kOffersAuto = false;
    static constexpr auto BrowsePan = &BrowseEtmPan;
    static constexpr auto BrowseBlue = &BrowseEtmBlue;
    static constexpr auto BrowseOtherBand = &BrowseEtmOtherBand;
    static constexpr auto SelectBand = &SelectEtmBand;
    static constexpr auto SetSuffix = &SetEtmSuffix;
    static constexpr auto Options = &EtmOptions;
    static constexpr auto ChooseBmp = &ChooseEtmBmp;
    static constexpr auto Run = &RunEtmPanSharpenWithQuality;
    static BatchOutcome RunBatch(EtmJob& job, RunCounters& counters, Host& host)
    {
        return RunEtmBatch(job, counters, host);
    }
};

class EtmDialog : public PanSharpenJobDialog<EtmTraits> {
public:
    EtmDialog(RunCounters& counters, Host& host, QWidget* parent);

    // "More >>": "More Paramters ..." opens at None with no band checked; on OK its filter and
    // three band flags replace the job's.
    void OnMore() override;
};

}  // namespace lumesta
