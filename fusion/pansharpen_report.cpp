#include "fusion/pansharpen_report.h"

#include <array>
#include <cstdint>
#include <string>

#include "fusion/input_sections.h"
#include "fusion/report_sections.h"

namespace lumesta {
namespace {

std::string Num(std::int64_t value) { return std::to_string(static_cast<long long>(value)); }

}  // namespace

bool WriteInputSections(PanRunState& state)
{
    std::int64_t panLength = 0;
    if (!WritePanSection(state, panLength)) return false;
    const PanSharpenJob& job = state.job;
    const bool fourBand = HasMultiBandMsFile(job);
    std::array<std::int64_t, 4> msLength{};
    WriteMsListing(state, msLength);
    // GeoTIFF files may be compressed: their extracted lengths are compared in Step 0 instead.
    if (!fourBand && job.panExt != "tif" &&
        (msLength[1] != msLength[0] || msLength[2] != msLength[0] || msLength[3] != msLength[0])) {
        state.host.ShowMessage("The file size of Ms bands is not the same.");
        return false;
    }
    // A four-band file holds four bands: the pan is compared with 16 times one band.
    const std::int64_t panExpected = fourBand ? 4 * msLength[kBlue] : 16 * msLength[kBlue];
    if (job.panExt != "tif" && panLength != panExpected) {
        state.host.ShowMessage("Check the file sizes of Pan and Ms bands.");
        return false;
    }
    return CheckMsHeaders(state);
}

void WriteParameterSection(const PanSharpenJob& job, RunLog& log)
{
    static const char* const kFilters[3] = {"Spatial Filtering:\tSharpen\r\n",
                                            "Spatial Filtering:\tDetail\r\n",
                                            "Spatial Filtering:\tNone\r\n"};
    static const char* const kFlagLabels[4] = {"\t- Blue:\t\t", "\t- Green:\t", "\t- Red:\t\t",
                                               "\t- NIR:\t\t"};
    WriteMethodLines(job.method, log);
    log.Append(kFilters[static_cast<int>(job.filterType)]);
    for (int band = kBlue; band <= kNir; ++band) {
        log.Append(std::string(kFlagLabels[band]) + (job.filterFlags[band] ? "Yes\r\n" : "No\r\n"));
    }
    log.Append("Colour Modification:\r\n");
    for (int band = kBlue; band <= kRed; ++band) {
        log.Append(std::string(kFlagLabels[band]) + Num(job.colourAmounts[band]) + "\r\n");
    }
    log.Append("\t- NIR:\t\tN/A\r\n\r\n");
}

}  // namespace lumesta
