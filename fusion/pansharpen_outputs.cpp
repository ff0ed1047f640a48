#include "fusion/pansharpen_outputs.h"

#include "raster/file_name.h"

namespace lumesta {
namespace {

bool AllMsExtensionsAre(const PanSharpenJob& job, const char* ext)
{
    for (int band = kBlue; band <= kNir; ++band) {
        if (job.msExt[band] != ext) return false;
    }
    return true;
}

}  // namespace

PanOutputs DerivePanOutputs(const PanSharpenJob& job)
{
    PanOutputs outputs;
    if (job.panExt == "tif" && job.rasterKind[1] && job.rasterKind[2] && job.rasterKind[3] &&
        job.rasterKind[4]) {
        outputs.kind = PanOutputKind::GeoTiff;
        for (int band = kBlue; band <= kNir; ++band) {
            outputs.data[band] = job.msPath[band] + job.suffix + "_" + std::to_string(band + 1);
        }
        return outputs;
    }
    if (HasFourBandMsFile(job) && job.panExt == "img" && job.msHeaderType == "ENVI") {
        outputs.kind = PanOutputKind::FourBandEnvi;
        const std::string base = WithoutLastFour(job.msPath[kBlue]) + job.suffix;
        for (int band = kBlue; band <= kNir; ++band) {
            const std::string number = std::to_string(band + 1);
            outputs.data[band] = base + number + ".img";
            outputs.headers[band] = base + number + ".hdr";
        }
        return outputs;
    }
    const bool envi = AllMsExtensionsAre(job, "img");
    const bool idrisi = AllMsExtensionsAre(job, "rst");
    outputs.kind = envi ? PanOutputKind::Envi : idrisi ? PanOutputKind::Idrisi : PanOutputKind::Generic;
    for (int band = kBlue; band <= kNir; ++band) {
        if (envi || idrisi) {
            const std::string base = WithoutLastFour(job.msPath[band]) + job.suffix;
            outputs.data[band] = base + (envi ? ".img" : ".rst");
            outputs.headers[band] = base + (envi ? ".hdr" : ".rdc");
        } else {
            outputs.data[band] = job.msPath[band] + job.suffix;
        }
    }
    return outputs;
}

}  // namespace lumesta
