#include "fusion/etm_steps.h"

#include <algorithm>

#include "fusion/band_view.h"
#include "fusion/filters.h"

namespace lumesta {

StepResult PostProcessBands(EtmRunState& state)
{
    const std::int64_t count = state.width * state.height;
    const EtmJob& job = state.job;
    const int height = static_cast<int>(state.height);
    const int width = static_cast<int>(state.width);
    BandView<std::uint8_t> view;
    for (int b = kEtmBlue; b <= kEtmRed; ++b) {
        if (!view.Open(state.fused[b], count, state.host)) return StepResult::Failed;
        std::uint8_t* band = view.Data();
        if (!state.Pump()) return StepResult::Cancelled;
        ReplicateBorders2(height, width, band);
        // The picture's limits come from the band before it is filtered.
        if (!job.colourMatch) {
            state.limits[b] = ComputeStretchCutoffs8(count, band, job.stretch.leftCutoff[b],
                                                     job.stretch.rightCutoff[b]);
        }
        if (job.filterFlags[b] && job.filterType != EtmFilter::None) {
            if (job.filterType == EtmFilter::Smooth || job.filterType == EtmFilter::SmoothSharpen) {
                FilterBand8(height, width, band, Kernel8::Smooth, state.host);
            }
            if (job.filterType == EtmFilter::SmoothSharpen || job.filterType == EtmFilter::Sharpen) {
                FilterBand8(height, width, band, Kernel8::Sharpen, state.host);
            }
            if (job.filterType == EtmFilter::Detail) {
                FilterBand8(height, width, band, Kernel8::Detail, state.host);
            }
            if (!state.Pump()) return StepResult::Cancelled;
        }
        if (state.outputs.kind == PanOutputKind::Idrisi && count > 0) {
            const auto [lowest, highest] = std::minmax_element(band, band + count);
            state.minValue[b] = *lowest;
            state.maxValue[b] = *highest;
        }
        if (!view.Commit(state.fused[b], state.host)) return StepResult::Failed;
        state.log.Append("..");
        if (!state.Pump()) return StepResult::Cancelled;
    }
    return StepResult::Ok;
}

}  // namespace lumesta
