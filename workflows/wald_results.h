#pragma once
// The results a Wald run keeps, for the desktop: where its dialog keeps them unless told
// otherwise, and one method's result with the scene it was measured against, for the viewer.

#include <string>

#include "workflows/quality_runs.h"
#include "workflows/run_images.h"

namespace lumesta {

// The folder beside the first MS file: its path without the last four characters + "_Wald"
// (empty while the job has no MS file).
std::string DefaultKeepFolder(const QualityJob& job);

// The result of method (its --method name, bands bands in keepFolder/METHOD.tif) beside the
// scene's MS bands, which it was measured against on their grid, and the degraded pan the run
// kept. The result is empty when the job keeps nothing.
RunImages ImagesOfWaldResult(const QualityJob& job, const std::string& method, int bands);

}  // namespace lumesta
