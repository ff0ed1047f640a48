#pragma once
// The dialog behind each tool command of the main window.

#include <functional>
#include <memory>

#include "core/host.h"
#include "core/run_log.h"
#include "desktop/command_table.h"
#include "ui/tool_dialog.h"
#include "workflows/run_images.h"

namespace lumesta {

// The tool's dialog over the log document's counters, with parent as its owner; sensor presets
// the 16-bit pan-sharpening dialog's sensor ("generic" when null); showResult opens a result
// in the viewer (Fusion Quality's best result). Nothing for a command whose dialog does not
// exist.
std::unique_ptr<ToolDialog> MakeToolDialog(ToolDialogKind dialog, RunCounters& counters,
                                           Host& host, QWidget* parent, const char* sensor,
                                           std::function<void(const RunImages&)> showResult);

}  // namespace lumesta
