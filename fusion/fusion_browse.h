#pragma once
// What the two pan-sharpening dialogs do when the user picks files or edits fields; they browse
// alike. The desktop dialogs and lumesta-cli call these and then show or use the job record.

#include <array>
#include <string>

#include "core/host.h"
#include "fusion/etm_job.h"
#include "fusion/pansharpen_job.h"

namespace lumesta {

// The pan "..." choice: leaves batch mode, empties the band lists, reads the pan header and
// fills width, height, the BMP name and flags. False after a refusal (message shown).
bool BrowsePan(PanSharpenJob& job, const std::string& path, Host& host);

// The Blue "..." choice: a single band, a four-band ENVI file or an Idrisi32 .rgf group.
// False after a refusal (message shown, lists emptied).
bool BrowseBlue(PanSharpenJob& job, const std::string& path, Host& host);

// The "..." choice of Green, Red or NIR (band kGreen..kNir). Refused with "Please enter the
// blue band first." while no Blue band is chosen.
bool BrowseOtherBand(PanSharpenJob& job, int band, const std::string& path, Host& host);

// A band list's selection change: stores the index and text and, for groups, the band's path.
void SelectBand(PanSharpenJob& job, int band, int index);

// The suffix field edited: stores it and rebuilds the BMP name from the pan path.
void SetSuffix(PanSharpenJob& job, const std::string& suffix);

// The 24-bit BMP "..." choice: takes the path; nothing is created. A path that is one of the
// job's inputs or their headers is refused with "<path> is an input of this run.\nChange the
// name of the 24-bit BMP." and returns false.
bool ChooseBmp(PanSharpenJob& job, const std::string& path, Host& host);

// A method chosen from the list (or by --method): stores it with the method's default spatial
// filter. The detail-injection methods sharpen by themselves, so theirs is none; methods 1 and
// 2 sharpen Green and Red. A filter chosen afterwards replaces it.
void ChooseMethod(PanSharpenJob& job, const FusionMethodRow& method);

// The band boxes a filter choice checks: Green and Red for a filter, none for None.
std::array<bool, 4> DefaultFilterFlags(FilterType16 filter);

// The Landsat ETM+ tool.
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
