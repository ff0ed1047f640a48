#pragma once
// The GeoTIFF steps of the pan-sharpening runs: Step 0 extracts the GeoTIFF inputs into
// temporary raw files of the run beside the pan (the pan, then the MS bands or one multi-band
// MS file) and checks their lengths; the temporary files are removed on every path.

#include <cstdint>
#include <string>
#include <vector>

#include "core/host.h"
#include "core/run_files.h"
#include "core/step_result.h"

namespace lumesta {

struct GeoTiffInputs {
    std::string panPath;
    std::vector<std::string> msPaths;  // one path per band, or one multi-band file
    bool multiBandFile = false;        // msPaths[0] holds every band, band-sequential once extracted
    int bandsInFile = 1;               // bands of that file
    std::int64_t msBandBytes = 0;      // bytes of one MS band: (W / ratio) × (H / ratio) × sample size
    int panToMsRatio = 16;             // pan length / MS band length: 16 (ratio 4) or 4 (ratio 2)
};

// What Step 0 leaves for the steps that follow: the raw files to read in place of the inputs.
struct ExtractedInputs {
    std::string pan;
    std::vector<std::string> ms;
};

// Extracts and checks the inputs. Messages: "Error: Extracting Pan ...", "Error: Extracting Ms
// band ..." ("Error: Extracting Ms bands ..." for a multi-band file), "The file size of Ms bands
// is not the same.", "Check the file sizes of Pan and Ms bands.". Returns Ok, or Failed after
// one of them; lengthCheckFailed tells the two length checks from the extraction failures.
StepResult ExtractGeoTiffInputs(const GeoTiffInputs& inputs, RunFiles& temps, Host& host,
                                ExtractedInputs& extracted, bool& lengthCheckFailed);

}  // namespace lumesta
