#pragma once
// What the three assessment dialogs do when the user picks files or list entries. The desktop
// dialogs and lumesta-cli call these, then show or use the job record.

#include <string>

#include "core/host.h"
#include "assess/haar_job.h"
#include "assess/image_stats_job.h"
#include "assess/semivariance_job.h"

namespace lumesta {

// The input "..." choice shared by the three tools: takes the name, path and extension; for an
// ".img" or ".rst" file reads the header (ReadHeader), takes its size and fills the list (the
// band names of a multi-band ENVI file, otherwise the file name); a generic matrix gets size 0
// and its file name in the list. When the header cannot be read, shows "Error: Reading header
// file of the input image." (after any message of the reader), empties the input name and
// returns false; the caller then derives no output names.
bool BrowseAssessInput(AssessInput& input, const std::string& path, Host& host);

// The input list's selection changed: a multi-band ENVI file takes the band and its name.
void SelectAssessInputEntry(AssessInput& input, int entry);

// The input "..." choice of each tool, followed by its output names: "_SemiVariance.txt" and
// "_ImageStats.txt" beside the input; for Haar "_Haar.img"/"_Haar.hdr" (ENVI), "_Haar.rst"/
// "_Haar.rdc" (Idrisi32) or the whole path + "_Haar" (generic; header paths unchanged), and
// the picture "_Haar.bmp". Return false after a header failure (output names untouched).
bool BrowseSemivarianceInput(SemivarianceJob& job, const std::string& path, Host& host);
bool BrowseImageStatsInput(ImageStatsJob& job, const std::string& path, Host& host);
bool BrowseHaarInput(HaarJob& job, const std::string& path, Host& host);

// The header of a Haar raster: beside it, with its four-character extension (if it has one)
// replaced by ".hdr" for an ENVI input or ".rdc" for an Idrisi32 input; empty for a generic
// input, which gets no header.
std::string HaarHeaderPathFor(const std::string& outputImagePath, const std::string& extension);
// Takes the output raster's path and the header path that goes with it.
void SetHaarOutputImage(HaarJob& job, const std::string& path);

// The output "..." choices: the chosen path is taken; nothing is created (an existing file is
// the run's to replace, after its overwrite question). The Haar header follows the output image.
void ChooseSemivarianceOutput(SemivarianceJob& job, const std::string& path);
void ChooseImageStatsOutput(ImageStatsJob& job, const std::string& path);
void ChooseHaarOutputImage(HaarJob& job, const std::string& path);
void ChooseHaarBmp(HaarJob& job, const std::string& path);

}  // namespace lumesta
