#include "fusion/pansharpen_steps.h"

#include <algorithm>

#include "fusion/band_view.h"
#include "fusion/filters.h"
#include "fusion/resampling.h"

namespace lumesta {

StepResult PostProcessBands(PanRunState& state)
{
    static const char* const kDots[4] = {".", "..", ".", ".."};
    const std::int64_t count = state.width * state.height;
    const PanSharpenJob& job = state.job;
    const int height = static_cast<int>(state.height);
    const int width = static_cast<int>(state.width);
    BandView<std::int16_t> view;
    for (int b = kBlue; b <= kNir; ++b) {
        if (!view.Open(state.fused[b], count, state.host)) return StepResult::Failed;
        std::int16_t* band = view.Data();
        if (!state.Pump()) return StepResult::Cancelled;
        // The detail-injection methods fuse every pixel, borders included.
        if (!InjectsDetail(job.method)) ReplicateBorders(height, width, band);
        if (job.filterFlags[b] && job.filterType != FilterType16::None) {
            const Kernel16 kernel =
                job.filterType == FilterType16::Sharpen ? Kernel16::Sharpen : Kernel16::Detail;
            FilterBand(height, width, band, kernel, state.host);
            if (!state.Pump()) return StepResult::Cancelled;
        }
        ClipBand(count, band);
        if (state.outputs.kind == PanOutputKind::Idrisi && count > 0) {
            const auto [lowest, highest] = std::minmax_element(band, band + count);
            state.minValue[b] = *lowest;
            state.maxValue[b] = *highest;
        }
        if (b != kNir && !job.colourMatch) {
            state.limits[b] = ComputeStretchCutoffs16(count, band, job.stretch.leftCutoff[b],
                                                      job.stretch.rightCutoff[b]);
        }
        if (!view.Commit(state.fused[b], state.host)) return StepResult::Failed;
        state.log.Append(kDots[b]);
        if (!state.Pump()) return StepResult::Cancelled;
    }
    return StepResult::Ok;
}

}  // namespace lumesta
