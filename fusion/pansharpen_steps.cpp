#include "fusion/pansharpen_steps.h"

#include "fusion/fusion_method.h"

namespace lumesta {

BandPassSpec<std::int16_t> PostProcessingOf(const PanRunState& state, int b)
{
    const PanSharpenJob& job = state.job;
    BandPassSpec<std::int16_t> spec;
    spec.width = state.width;
    spec.height = state.height;
    // The detail-injection methods fuse every pixel, borders included.
    spec.borderDepth = InjectsDetail(job.method) ? 0 : 2;
    if (job.filterFlags[b] && job.filterType != FilterType16::None) {
        spec.filters.push_back(job.filterType == FilterType16::Sharpen ? Kernel16::Sharpen
                                                                      : Kernel16::Detail);
    }
    spec.clip11Bit = true;
    spec.histogram =
        ShownInPicture(job, b) && !job.colourMatch ? HistogramPoint::AfterFilters
                                                   : HistogramPoint::None;
    spec.minMax = state.outputs.kind == PanOutputKind::Idrisi;
    if (const std::optional<double> noData = FusedNoDataValue(job)) {
        spec.noData = static_cast<std::int16_t>(*noData);
    }
    return spec;
}

// The bands of every method were post-processed as they were fused (FuseStrips); the step
// keeps its report dots and its pauses for the user.
StepResult PostProcessBands(PanRunState& state)
{
    static const char* const kDots[4] = {".", "..", ".", ".."};
    const PanSharpenJob& job = state.job;
    for (int b = kBlue; b <= kNir; ++b) {
        if (!state.Pump()) return StepResult::Cancelled;
        const bool filtered = job.filterFlags[b] && job.filterType != FilterType16::None;
        if (filtered && !state.Pump()) return StepResult::Cancelled;
        state.log.Append(kDots[b]);
        if (!state.Pump()) return StepResult::Cancelled;
    }
    return StepResult::Ok;
}

}  // namespace lumesta
