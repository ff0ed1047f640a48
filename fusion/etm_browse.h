#pragma once
// What the Landsat ETM+ pan-sharpening dialog does when the user picks files or edits fields.
// The two pan-sharpening tools browse alike: both are implemented in pansharpen_browse.cpp.

#include <string>

#include "core/host.h"
#include "fusion/etm_job.h"

namespace lumesta {

// The pan "..." choice (8-bit header reader). False after a refusal (message shown).
bool BrowseEtmPan(EtmJob& job, const std::string& path, Host& host);
// The Blue "..." choice: a single band, a multi-band ENVI file (3 or more bands) or an
// Idrisi32 .rgf group of at least 3 images.
bool BrowseEtmBlue(EtmJob& job, const std::string& path, Host& host);
// The "..." choice of Green or Red; refused with "Please enter the blue band first." while no
// Blue band is chosen.
bool BrowseEtmOtherBand(EtmJob& job, int band, const std::string& path, Host& host);
void SelectEtmBand(EtmJob& job, int band, int index);
void SetEtmSuffix(EtmJob& job, const std::string& suffix);
// The 24-bit BMP "..." choice: takes the path; nothing is created. A path that is one of the
// job's inputs or their headers is refused with "<path> is an input of this run.\nChange the
// name of the 24-bit BMP." and returns false.
bool ChooseEtmBmp(EtmJob& job, const std::string& path, Host& host);

}  // namespace lumesta
