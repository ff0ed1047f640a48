#pragma once
// After a tool dialog closes with a finished run: the pan-sharpening and band-combination
// results open in the viewer beside their inputs.

class QDialog;

namespace lumesta {

class ViewerDock;

// Shows the run of tool when it is one of the tools with a picture result (single jobs; a
// batch shows its pictures only). Other dialogs are left alone.
void ShowRunInViewer(ViewerDock& viewer, const QDialog& tool);

}  // namespace lumesta
