#include "fusion/etm_report.h"

#include <string>

#include "fusion/input_reset.h"
#include "fusion/report_sections.h"
#include "raster/band_io.h"
#include "raster/image_info.h"

namespace lumesta {
namespace {

const char* const kBandNames[3] = {"Blue", "Green", "Red"};

std::string Num(std::int64_t value) { return std::to_string(static_cast<long long>(value)); }

bool WritePanSection(EtmRunState& state, std::int64_t& panLength)
{
    const EtmJob& job = state.job;
    panLength = GetDataBlockLength(job.panPath, state.host);
    state.log.Append("(a) Input High Resolution Panchromatic Band:\r\nPAN:\t" + job.panPath + "\r\n");
    state.log.Append("Width:\t\t\t" + Num(state.width) + " pixels\r\n");
    state.log.Append("Height:\t\t\t" + Num(state.height) + " pixels\r\n");
    state.log.Append("Image Size:\t\t" + Num(state.width * state.height) + " pixels\r\n");
    state.log.Append("File Size:\t\t" + Num(panLength) + " bytes\r\n\r\n");
    if (job.panExt != "tif" && panLength != state.width * state.height) {
        state.host.ShowMessage("Check the file size of Pan image.");
        return false;
    }
    return true;
}

// Reads the MS band headers and checks that each band is half the pan's size.
bool CheckMsHeaders(EtmRunState& state)
{
    EtmJob& job = state.job;
    const int bandsToRead = HasMultiBandMsFile(job) ? 1 : 3;
    for (int band = 0; band < bandsToRead; ++band) {
        const std::string& ext = job.msExt[band];
        if (ext != "img" && ext != "rst" && ext != "tif") continue;  // generic matrices have no header
        CImageInfo header;
        if (header.ReadHeader8(job.msPath[band], state.host) == 0) {
            state.host.ShowMessage(std::string(kBandNames[band]) +
                                   " Band: Check the format of its header file.");
            return false;
        }
        if (header.width != state.msWidth || header.height != state.msHeight) {
            state.host.ShowMessage("Check the width/height of the input image.");
            ClearMsSelections(job, band, HasMultiBandMsFile(job));
            return false;
        }
    }
    return true;
}

}  // namespace

bool WriteInputSections(EtmRunState& state)
{
    std::int64_t panLength = 0;
    if (!WritePanSection(state, panLength)) return false;
    const EtmJob& job = state.job;
    const bool multiBand = HasMultiBandMsFile(job);
    state.log.Append("(b) Input Low Resolution Multispectral Bands:\r\n");
    for (int band = 0; band < 3; ++band) {
        state.log.Append(std::string(kBandNames[band]) + ":\t" + job.msPath[band] +
                         (multiBand ? "(" + job.selection[band] + ")\r\n" : std::string("\r\n")));
    }
    std::int64_t msLength[3] = {};
    for (int band = 0; band < (multiBand ? 1 : 3); ++band) {
        msLength[band] = GetDataBlockLength(job.msPath[band], state.host);
    }
    state.log.Append("Width:\t\t\t" + Num(state.msWidth) + " pixels\r\n");
    state.log.Append("Height:\t\t\t" + Num(state.msHeight) + " pixels\r\n");
    state.log.Append("Image Size:\t\t" + Num(state.width * state.height / 4) + " pixels\r\n");
    state.log.Append("File Size:\t\t" + Num(msLength[0]) + " bytes\r\n\r\n");
    if (multiBand && msLength[0] != job.msBandCount * state.width * state.height / 4) {
        state.host.ShowMessage("File size does not match with image size and bands.");
        return false;
    }
    // GeoTIFF files may be compressed: their extracted lengths are compared in Step 0 instead.
    if (!multiBand && job.panExt != "tif" && (msLength[1] != msLength[0] || msLength[2] != msLength[0])) {
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
