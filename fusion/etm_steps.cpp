#include "fusion/etm_steps.h"

#include <vector>

namespace lumesta {
namespace {

// The filters of the job, in the order they are applied.
std::vector<Kernel8> EtmFilters(EtmFilter type)
{
    switch (type) {
        case EtmFilter::Smooth: return {Kernel8::Smooth};
        case EtmFilter::SmoothSharpen: return {Kernel8::Smooth, Kernel8::Sharpen};
        case EtmFilter::Sharpen: return {Kernel8::Sharpen};
        case EtmFilter::Detail: return {Kernel8::Detail};
        case EtmFilter::None: break;
    }
    return {};
}

}  // namespace

BandPassSpec<std::uint8_t> PostProcessingOf(const EtmRunState& state, int b)
{
    const EtmJob& job = state.job;
    BandPassSpec<std::uint8_t> spec;
    spec.width = state.width;
    spec.height = state.height;
    spec.borderDepth = 1;
    if (job.filterFlags[b] && job.filterType != EtmFilter::None) spec.filters = EtmFilters(job.filterType);
    // The picture's limits come from the band before it is filtered.
    spec.histogram = job.colourMatch ? HistogramPoint::None : HistogramPoint::BeforeFilters;
    spec.minMax = state.outputs.kind == PanOutputKind::Idrisi;
    if (const std::optional<double> noData = FusedNoDataValue(job)) {
        spec.noData = static_cast<std::uint8_t>(*noData);
    }
    return spec;
}

// The bands were post-processed as they were fused (FuseStrips); the step keeps its report
// dots and its pauses for the user.
StepResult PostProcessBands(EtmRunState& state)
{
    const EtmJob& job = state.job;
    for (int b = kEtmBlue; b <= kEtmRed; ++b) {
        if (!state.Pump()) return StepResult::Cancelled;
        const bool filtered = job.filterFlags[b] && job.filterType != EtmFilter::None;
        if (filtered && !state.Pump()) return StepResult::Cancelled;
        state.log.Append("..");
        if (!state.Pump()) return StepResult::Cancelled;
    }
    return StepResult::Ok;
}

}  // namespace lumesta
