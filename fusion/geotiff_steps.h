#pragma once
// The GeoTIFF steps of the pan-sharpening runs: Step 0 extracts the GeoTIFF inputs into
// temporary raw files beside the pan ("~tmp000.tmp" the pan, "~tmp001.tmp" ... the MS bands, or
// one multi-band MS file) and checks their lengths; the temporary files are removed on every path.

#include <cstdint>
#include <string>
#include <vector>

#include "core/host.h"
#include "core/step_result.h"

namespace lumesta {

// The temporary raw files of one run; every one made is removed when the object goes.
class TempFiles {
public:
    explicit TempFiles(const std::string& besidePath);
    ~TempFiles();
    TempFiles(const TempFiles&) = delete;
    TempFiles& operator=(const TempFiles&) = delete;

    // "~tmp00N.tmp" in the folder of the first input; remembered for removal.
    std::string Name(int index);
    void RemoveNow();

private:
    std::string m_folder;
    std::vector<std::string> m_made;
};

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
StepResult ExtractGeoTiffInputs(const GeoTiffInputs& inputs, TempFiles& temps, Host& host,
                                ExtractedInputs& extracted, bool& lengthCheckFailed);

}  // namespace lumesta
