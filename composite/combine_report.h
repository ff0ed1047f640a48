#pragma once
// Validation of a band combination job and the report sections the run writes before it
// processes anything, with the checks that belong to them.

#include "core/host.h"
#include "core/run_log.h"
#include "composite/combine_job.h"
#include "composite/combine_steps.h"

namespace lumesta {

// The checks before the report starts, in their fixed order; false after the first message
// ("Please input images.", "Please input width and height.", "Pan and Ms image types are not
// the same, as identified by file extensions"). May ask whether to turn off the automatic
// display of a very large picture, and clears the display flag on Yes.
bool ValidateCombineJob(BandCombinationJob& job, Host& host);

// Opens the report block: the banner with the band combination counter, "(a) Input RGB
// Bands:" and the three input lines.
void WriteCombineInputLines(CombineRunState& state);

// The size lines with the header and file-size checks, then the size limits; sets the run's
// width and height. False after a message (a band whose header fails loses its list entries).
bool WriteCombineSizeSection(CombineRunState& state);

// Section (b): the outputs, "Display it?" (not in batch mode) and the stretch report.
void WriteCombineOutputSection(const BandCombinationJob& job, RunLog& log);

// Refuses an output that would replace an input ("... is an input of this run.\nChange the
// name of the 24-bit BMP."), then asks before an existing BMP is replaced (Yes deletes it).
// False when the run must stop; the caller writes the closing line.
bool ConfirmCombineOutputs(const BandCombinationJob& job, Host& host);

}  // namespace lumesta
