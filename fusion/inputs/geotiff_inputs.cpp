#include "fusion/inputs/geotiff_inputs.h"

#include "raster/band_io.h"
#include "raster/input_extract.h"

namespace lumesta {

StepResult ExtractGeoTiffInputs(const GeoTiffInputs& inputs, RunFiles& temps, Host& host,
                                ExtractedInputs& extracted, bool& lengthCheckFailed)
{
    lengthCheckFailed = false;
    extracted.pan = temps.CreateTemp(inputs.panPath);
    if (ExtractInputBands(inputs.panPath, extracted.pan, -1, host) == 0) {
        host.ShowMessage("Error: Extracting Pan ...");
        return StepResult::Failed;
    }
    extracted.ms.clear();
    for (std::size_t i = 0; i < inputs.msPaths.size(); ++i) {
        extracted.ms.push_back(temps.CreateTemp(inputs.panPath));
        if (ExtractInputBands(inputs.msPaths[i], extracted.ms.back(), -1, host) == 0) {
            host.ShowMessage(inputs.multiBandFile ? "Error: Extracting Ms bands ..."
                                                  : "Error: Extracting Ms band ...");
            return StepResult::Failed;
        }
    }
    std::int64_t bandLength = 0;
    if (inputs.multiBandFile) {
        // A multi-band file holds every band: the pan is compared with one band of it.
        bandLength = GetDataBlockLength(extracted.ms[0], host) / inputs.bandsInFile;
    } else {
        bandLength = GetDataBlockLength(extracted.ms[0], host);
        for (const auto& path : extracted.ms) {
            if (GetDataBlockLength(path, host) != bandLength || bandLength != inputs.msBandBytes) {
                host.ShowMessage("The file size of Ms bands is not the same.");
                lengthCheckFailed = true;
                return StepResult::Failed;
            }
        }
    }
    if (GetDataBlockLength(extracted.pan, host) != inputs.panToMsRatio * bandLength) {
        host.ShowMessage("Check the file sizes of Pan and Ms bands.");
        lengthCheckFailed = true;
        return StepResult::Failed;
    }
    return StepResult::Ok;
}

}  // namespace lumesta
