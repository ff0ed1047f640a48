#pragma once
// What a run wrote, shown again from the History.

class QString;

namespace lumesta {

class Host;
class ToolDialog;
class ViewerDock;

// Shows the results of the job tool holds (a run's job taken back): pan-sharpening and
// band-combination results in the viewer beside their inputs, a Haar coefficient raster in the
// viewer, a semivariance or statistics table in the desktop's text viewer, a quality run's
// per-block map, or a Wald run's kept results to compare. False when none of them is there.
bool ShowRunResult(const ToolDialog& tool, ViewerDock& viewer, Host& host);

}  // namespace lumesta
