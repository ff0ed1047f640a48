#pragma once
// The input sections (a) and (b) of the pan-sharpening reports, with the file checks that belong
// to them.

#include "fusion/fusion_run_state.h"

namespace lumesta {

// Section (a), the pan's path, size and file length, and section (b), the MS bands' lines and
// sizes, with their checks: the pan's length ("Check the file size of Pan image." for a pan
// other than a GeoTIFF that does not hold W × H samples), the MS bands' lengths against each
// other and the pan's, and each band's header against the MS size ("<Band> Band: Check the
// format of its header file.", "Check the width/height of the input image.", which empty the
// band's selection, or every band's for a multi-band file). False after a message.
bool WriteInputSections(PanRunState& state);
bool WriteInputSections(EtmRunState& state);

}  // namespace lumesta
