#include "fusion/inputs/input_reset.h"

namespace lumesta {
namespace {

template <typename Job>
void ClearBand(Job& job, int band)
{
    job.selection[band].clear();
    job.selectedIndex[band] = -1;
    job.bandLists[band].clear();
}

template <typename Job>
void ResetJobInputs(Job& job)
{
    for (std::size_t band = 0; band < job.msPath.size(); ++band)
        ClearBand(job, static_cast<int>(band));
    job.panName.clear();
    job.panPath.clear();
    job.width = 0;
    job.height = 0;
}

template <typename Job>
void ClearSelections(Job& job, int band, bool multiBandMsFile)
{
    if (!multiBandMsFile) {
        ClearBand(job, band);
        return;
    }
    for (std::size_t b = 0; b < job.msPath.size(); ++b) ClearBand(job, static_cast<int>(b));
}

}  // namespace

void ResetInputs(PanSharpenJob& job)
{
    ResetJobInputs(job);
}

void ResetInputs(EtmJob& job)
{
    ResetJobInputs(job);
}

void ClearMsSelections(PanSharpenJob& job, int band, bool multiBandMsFile)
{
    ClearSelections(job, band, multiBandMsFile);
}

void ClearMsSelections(EtmJob& job, int band, bool multiBandMsFile)
{
    ClearSelections(job, band, multiBandMsFile);
}

}  // namespace lumesta
