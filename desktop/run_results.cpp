#include "desktop/run_results.h"

#include <QStringList>

#include "desktop/viewer/viewer_dock.h"
#include "raster/file_name.h"
#include "ui/combine_dialog.h"
#include "ui/etm_dialog.h"
#include "ui/haar_dialog.h"
#include "ui/image_stats_dialog.h"
#include "ui/pansharpen_dialog.h"
#include "ui/quality_dialog.h"
#include "ui/semivariance_dialog.h"
#include "ui/text.h"
#include "workflows/fusion_registry.h"

namespace lumesta {
namespace {

template <typename Job>
bool ShowPictureRun(const Job& job, ViewerDock& viewer)
{
    if (job.batchMode) return false;
    const RunImages images = ImagesOfRun(job);
    if (images.result.empty() || !FileExists(images.result.front().path)) return false;
    viewer.ShowRun(images);
    return true;
}

bool ShowTable(const std::string& path, Host& host)
{
    if (path.empty() || !FileExists(path)) return false;
    host.OpenInViewer(ViewerKind::Text, path);
    return true;
}

bool ShowImages(const QStringList& paths, ViewerDock& viewer)
{
    if (paths.isEmpty()) return false;
    viewer.OpenPaths(paths);
    viewer.show();
    return true;
}

// A quality run's map, or each method's result a Wald run kept.
bool ShowQualityRun(const QualityJob& job, ViewerDock& viewer)
{
    QStringList paths;
    if (!job.mapPath.empty() && FileExists(job.mapPath)) paths << ToQt(job.mapPath);
    if (job.protocol == QualityProtocol::Wald && !job.keepFolder.empty()) {
        for (const FusionMethodEntry& method : FusionMethodRegistry()) {
            const QString kept = ToQt(job.keepFolder + "/" + method.name + ".tif");
            if (!paths.contains(kept) && FileExists(ToEngine(kept))) paths << kept;
        }
    }
    return ShowImages(paths, viewer);
}

}  // namespace

bool ShowRunResult(const ToolDialog& tool, ViewerDock& viewer, Host& host)
{
    if (const auto* pan = dynamic_cast<const PanSharpenDialog*>(&tool))
        return ShowPictureRun(pan->Job(), viewer);
    if (const auto* etm = dynamic_cast<const EtmDialog*>(&tool))
        return ShowPictureRun(etm->Job(), viewer);
    if (const auto* combine = dynamic_cast<const BandCombinationDialog*>(&tool))
        return ShowPictureRun(combine->Job(), viewer);
    if (const auto* semivariance = dynamic_cast<const CSemivarianceDlg*>(&tool))
        return ShowTable(semivariance->Job().outputPath, host);
    if (const auto* stats = dynamic_cast<const CImageStatsDlg*>(&tool))
        return ShowTable(stats->Job().outputPath, host);
    if (const auto* haar = dynamic_cast<const CHaarWaveletDlg*>(&tool)) {
        const std::string& raster = haar->Job().outputImagePath;
        return FileExists(raster) && ShowImages({ToQt(raster)}, viewer);
    }
    if (const auto* quality = dynamic_cast<const FusionQualityDialog*>(&tool))
        return ShowQualityRun(quality->Job(), viewer);
    return false;
}

}  // namespace lumesta
