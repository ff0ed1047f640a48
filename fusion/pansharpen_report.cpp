#include "fusion/pansharpen_report.h"

#include <cstdio>
#include <string>

#include "fusion/confirm_fused_outputs.h"
#include "fusion/input_reset.h"
#include "fusion/report_sections.h"
#include "raster/band_io.h"
#include "raster/file_name.h"
#include "raster/image_info.h"

namespace lumesta {
namespace {

const char* const kBandNames[4] = {"Blue", "Green", "Red", "NIR"};

std::string Num(std::int64_t value) { return std::to_string(static_cast<long long>(value)); }

// Reads the MS band headers and checks that each band is a quarter of the pan's size.
bool CheckMsHeaders(PanRunState& state)
{
    PanSharpenJob& job = state.job;
    const int bandsToRead = HasMultiBandMsFile(job) ? 1 : 4;
    for (int band = kBlue; band < bandsToRead; ++band) {
        const std::string& ext = job.msExt[band];
        if (ext != "img" && ext != "rst" && ext != "tif") continue;  // generic matrices have no header
        CImageInfo header;
        if (header.ReadHeader16(job.msPath[band], state.host) == 0) {
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

bool WritePanSection(PanRunState& state, std::int64_t& panLength)
{
    const PanSharpenJob& job = state.job;
    RunLog& log = state.log;
    panLength = GetDataBlockLength(job.panPath, state.host);
    log.Append("(a) Input High Resolution Panchromatic Band:\r\n");
    log.Append("PAN:\t" + job.panPath + "\r\n");
    log.Append("Width:\t\t\t" + Num(state.width) + " pixels\r\n");
    log.Append("Height:\t\t\t" + Num(state.height) + " pixels\r\n");
    log.Append("Image Size:\t\t" + Num(state.width * state.height) + " pixels\r\n");
    log.Append("File Size:\t\t" + Num(panLength) + " bytes\r\n\r\n");
    if (job.panExt != "tif" && panLength != state.width * state.height * 2) {
        state.host.ShowMessage("Check the file size of Pan image.");
        return false;
    }
    return true;
}

}  // namespace

bool WriteInputSections(PanRunState& state)
{
    std::int64_t panLength = 0;
    if (!WritePanSection(state, panLength)) return false;
    const PanSharpenJob& job = state.job;
    RunLog& log = state.log;
    log.Append("(b) Input Low Resolution Multispectral Bands:\r\n");
    const bool fourBand = HasMultiBandMsFile(job);
    for (int band = kBlue; band <= kNir; ++band) {
        log.Append(std::string(kBandNames[band]) + ":\t" + job.msPath[band]);
        log.Append(fourBand ? "(" + job.selection[band] + ")\r\n" : std::string("\r\n"));
    }
    std::int64_t msLength[4] = {};
    for (int band = kBlue; band < (fourBand ? 1 : 4); ++band) {
        msLength[band] = GetDataBlockLength(job.msPath[band], state.host);
    }
    log.Append("Width:\t\t\t" + Num(state.msWidth) + " pixels\r\n");
    log.Append("Height:\t\t\t" + Num(state.msHeight) + " pixels\r\n");
    log.Append("Image Size:\t\t" + Num(state.width * state.height / 16) + " pixels\r\n");
    log.Append("File Size:\t\t" + Num(msLength[kBlue]) + " bytes\r\n\r\n");
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
