#include "desktop/viewer/run_viewer.h"

#include "desktop/viewer/viewer_dock.h"
#include "raster/file_name.h"
#include "ui/combine_dialog.h"
#include "ui/etm_dialog.h"
#include "ui/pansharpen_dialog.h"

namespace lumesta {
namespace {

template <typename Job>
void ShowJob(ViewerDock& viewer, const Job& job)
{
    if (job.batchMode) return;
    const RunImages images = ImagesOfRun(job);
    if (images.result.empty() || !FileExists(images.result.front().path)) return;
    viewer.ShowRun(images);
}

}  // namespace

void ShowRunInViewer(ViewerDock& viewer, const QDialog& tool)
{
    if (const auto* pan = dynamic_cast<const PanSharpenDialog*>(&tool)) {
        ShowJob(viewer, pan->Job());
    } else if (const auto* etm = dynamic_cast<const EtmDialog*>(&tool)) {
        ShowJob(viewer, etm->Job());
    } else if (const auto* combine = dynamic_cast<const BandCombinationDialog*>(&tool)) {
        ShowJob(viewer, combine->Job());
    }
}

}  // namespace lumesta
