#include "workflows/wald_results.h"

#include "raster/file_name.h"

namespace lumesta {

std::string DefaultKeepFolder(const QualityJob& job)
{
    return job.ms.empty() ? std::string() : WithoutLastFour(job.ms.front()) + "_Wald";
}

RunImages ImagesOfWaldResult(const QualityJob& job, const std::string& method, int bands)
{
    static const char* const kBandNames[4] = {"Blue", "Green", "Red", "NIR"};
    RunImages images;
    if (job.keepFolder.empty() || job.ms.empty()) return images;
    const int ratio = job.ratio > 0 ? job.ratio : 1;
    const MatrixSize msSize{job.generic.width / ratio, job.generic.height / ratio,
                            job.generic.bytes > 0 ? job.generic.bytes : 2};
    const bool oneFile = job.ms.size() == 1;
    for (int b = 0; b < bands; ++b) {
        const std::string name = b < 4 ? kBandNames[b] : "Band " + std::to_string(b + 1);
        images.result.push_back({job.keepFolder + "/" + method + ".tif", b, {}, name});
        if (oneFile || b < static_cast<int>(job.ms.size()))
            images.inputs.push_back({job.ms[oneFile ? 0 : b], oneFile ? b : 0, msSize, name});
    }
    images.pan = {job.keepFolder + "/pan.tif", 0, {}, "Degraded pan"};
    return images;
}

}  // namespace lumesta
