#pragma once
// Validation of a 16-bit pan-sharpening job and the report sections (a) to (d) that the run
// writes before its analytical steps, with the checks that belong to them.

#include "core/host.h"
#include "core/run_log.h"
#include "fusion/pansharpen_job.h"
#include "fusion/pansharpen_outputs.h"
#include "fusion/pansharpen_steps.h"

namespace lumesta {

// The checks before the report starts, in their fixed order; false after the first message.
// May ask whether to turn off the automatic display of a very large picture.
bool ValidatePanSharpenJob(PanSharpenJob& job, Host& host);

// Sections (a) and (b) with the file-size and header checks; false after a message.
bool WriteInputSections(PanRunState& state);
// Section (c): methods, filters and colour adjustments.
void WriteParameterSection(const PanSharpenJob& job, RunLog& log);
// Section (d): output names, the picture and its stretch.
void WriteOutputSection(const PanSharpenJob& job, const PanOutputs& outputs, RunLog& log);

// Refuses outputs that would replace an input, then asks once before existing outputs are
// replaced (and deletes them on Yes); false when the run must stop.
bool ConfirmPanOutputs(PanRunState& state);

// Empties the band lists, clears the pan and sets the size to 0 (after a failed regression).
void ResetPanSharpenInputs(PanSharpenJob& job);

}  // namespace lumesta
