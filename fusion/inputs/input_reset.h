#pragma once
// What a pan-sharpening run empties in its dialog's fields when the inputs prove unusable.

#include "fusion/etm_job.h"
#include "fusion/pansharpen_job.h"

namespace lumesta {

// Empties the band lists, clears the pan and sets the size to 0 (after a failed regression or
// GeoTIFF length check).
void ResetInputs(PanSharpenJob& job);
void ResetInputs(EtmJob& job);

// Empties the list, selection and index of the MS band whose header disagrees with the pan;
// of every band when one multi-band file supplies them all.
void ClearMsSelections(PanSharpenJob& job, int band, bool multiBandMsFile);
void ClearMsSelections(EtmJob& job, int band, bool multiBandMsFile);

}  // namespace lumesta
