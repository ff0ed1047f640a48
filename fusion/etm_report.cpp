#include "fusion/etm_report.h"

#include <array>
#include <cstdint>
#include <string>

#include "fusion/input_sections.h"
#include "fusion/report_sections.h"

namespace lumesta {

bool WriteInputSections(EtmRunState& state)
{
    std::int64_t panLength = 0;
    if (!WritePanSection(state, panLength)) return false;
    const EtmJob& job = state.job;
    const bool multiBand = HasMultiBandMsFile(job);
    std::array<std::int64_t, 3> msLength{};
    WriteMsListing(state, msLength);
    if (multiBand && msLength[0] != job.msBandCount * state.width * state.height / 4) {
        state.host.ShowMessage("File size does not match with image size and bands.");
        return false;
    }
    // GeoTIFF files may be compressed: their extracted lengths are compared in Step 0 instead.
    if (!multiBand && job.panExt != "tif" &&
        (msLength[1] != msLength[0] || msLength[2] != msLength[0])) {
        state.host.ShowMessage("The file size of Ms bands is not the same.");
        return false;
    }
    const std::int64_t oneBand = multiBand ? msLength[0] / job.msBandCount : msLength[0];
    if (job.panExt != "tif" && panLength != 4 * oneBand) {
        state.host.ShowMessage("Check the file sizes of Pan and Ms bands.");
        return false;
    }
    return CheckMsHeaders(state);
}

void WriteParameterSection(const EtmJob& job, RunLog& log)
{
    static const char* const kFilters[5] = {
        "Spatial Filtering:\tSmooth\r\n", "Spatial Filtering:\tSmooth, followed by sharpening\r\n",
        "Spatial Filtering:\tNone\r\n", "Spatial Filtering:\tDetail\r\n",
        "Spatial Filtering:\tSharpen\r\n"};
    static const char* const kFlagLabels[3] = {"\t- Blue:\t\t", "\t- Green:\t", "\t- Red:\t\t"};
    WriteMethodLines(job.method, log);
    log.Append(kFilters[static_cast<int>(job.filterType)]);
    for (int band = 0; band < 3; ++band) {
        log.Append(std::string(kFlagLabels[band]) + (job.filterFlags[band] ? "Yes\r\n" : "No\r\n"));
    }
}

}  // namespace lumesta
