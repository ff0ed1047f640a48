#include "fusion/report/input_sections.h"

#include <array>
#include <cstdint>
#include <string>

#include "fusion/inputs/input_reset.h"
#include "raster/band_io.h"
#include "raster/image_info.h"
#include "raster/reader_choice.h"

namespace lumesta {
namespace {

const char* const kBandNames[4] = {"Blue", "Green", "Red", "NIR"};

std::string Num(std::int64_t value)
{
    return std::to_string(static_cast<long long>(value));
}

template <typename State>
constexpr std::int64_t SampleBytes()
{
    return static_cast<std::int64_t>(sizeof(typename State::Sample));
}

template <typename State>
bool WritePanSectionOf(State& state, std::int64_t& panLength)
{
    const auto& job = state.job;
    RunLog& log = state.log;
    panLength = GetDataBlockLength(job.panPath, state.host);
    log.Append("(a) Input High Resolution Panchromatic Band:\r\n");
    log.Append("PAN:\t" + job.panPath + "\r\n");
    log.Append("Width:\t\t\t" + Num(state.width) + " pixels\r\n");
    log.Append("Height:\t\t\t" + Num(state.height) + " pixels\r\n");
    log.Append("Image Size:\t\t" + Num(state.width * state.height) + " pixels\r\n");
    log.Append("File Size:\t\t" + Num(panLength) + " bytes\r\n\r\n");
    if (!IsExtractedExtension(job.panExt) && panLength != state.width * state.height * SampleBytes<State>()) {
        state.host.ShowMessage("Check the file size of Pan image.");
        return false;
    }
    return true;
}

template <typename State>
void WriteMsListingOf(State& state, std::array<std::int64_t, State::kBands>& msLength)
{
    const auto& job = state.job;
    RunLog& log = state.log;
    const bool multiBand = HasMultiBandMsFile(job);
    log.Append("(b) Input Low Resolution Multispectral Bands:\r\n");
    for (int band = 0; band < State::kBands; ++band) {
        log.Append(std::string(kBandNames[band]) + ":\t" + job.msPath[band]);
        log.Append(multiBand ? "(" + job.selection[band] + ")\r\n" : std::string("\r\n"));
    }
    msLength.fill(0);
    for (int band = 0; band < (multiBand ? 1 : State::kBands); ++band) {
        msLength[band] = GetDataBlockLength(job.msPath[band], state.host);
    }
    log.Append("Width:\t\t\t" + Num(state.msWidth) + " pixels\r\n");
    log.Append("Height:\t\t\t" + Num(state.msHeight) + " pixels\r\n");
    log.Append("Image Size:\t\t" +
               Num(state.width * state.height / (State::kRatio * State::kRatio)) + " pixels\r\n");
    log.Append("File Size:\t\t" + Num(msLength[0]) + " bytes\r\n\r\n");
}

template <typename State>
bool CheckMsHeadersOf(State& state)
{
    auto& job = state.job;
    const int bandsToRead = HasMultiBandMsFile(job) ? 1 : State::kBands;
    for (int band = 0; band < bandsToRead; ++band) {
        const std::string& ext = job.msExt[band];
        if (ext != "img" && ext != "rst" && !IsExtractedExtension(ext))
            continue;  // generic matrices have no header
        CImageInfo header;
        const int read = SampleBytes<State>() == 2
                             ? header.ReadHeader16(job.msPath[band], state.host)
                             : header.ReadHeader8(job.msPath[band], state.host);
        if (read == 0) {
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

bool WriteInputSections(PanRunState& state)
{
    std::int64_t panLength = 0;
    if (!WritePanSectionOf(state, panLength)) return false;
    const PanSharpenJob& job = state.job;
    const bool fourBand = HasMultiBandMsFile(job);
    std::array<std::int64_t, 4> msLength{};
    WriteMsListingOf(state, msLength);
    // GeoTIFF files may be compressed: their extracted lengths are compared in Step 0 instead.
    if (!fourBand && !IsExtractedExtension(job.panExt) &&
        (msLength[1] != msLength[0] || msLength[2] != msLength[0] || msLength[3] != msLength[0])) {
        state.host.ShowMessage("The file size of Ms bands is not the same.");
        return false;
    }
    // A four-band file holds four bands: the pan is compared with 16 times one band.
    const std::int64_t panExpected = fourBand ? 4 * msLength[kBlue] : 16 * msLength[kBlue];
    if (!IsExtractedExtension(job.panExt) && panLength != panExpected) {
        state.host.ShowMessage("Check the file sizes of Pan and Ms bands.");
        return false;
    }
    return CheckMsHeadersOf(state);
}

bool WriteInputSections(EtmRunState& state)
{
    std::int64_t panLength = 0;
    if (!WritePanSectionOf(state, panLength)) return false;
    const EtmJob& job = state.job;
    const bool multiBand = HasMultiBandMsFile(job);
    std::array<std::int64_t, 3> msLength{};
    WriteMsListingOf(state, msLength);
    if (multiBand && msLength[0] != job.msBandCount * state.width * state.height / 4) {
        state.host.ShowMessage("File size does not match with image size and bands.");
        return false;
    }
    // GeoTIFF files may be compressed: their extracted lengths are compared in Step 0 instead.
    if (!multiBand && !IsExtractedExtension(job.panExt) &&
        (msLength[1] != msLength[0] || msLength[2] != msLength[0])) {
        state.host.ShowMessage("The file size of Ms bands is not the same.");
        return false;
    }
    const std::int64_t oneBand = multiBand ? msLength[0] / job.msBandCount : msLength[0];
    if (!IsExtractedExtension(job.panExt) && panLength != 4 * oneBand) {
        state.host.ShowMessage("Check the file sizes of Pan and Ms bands.");
        return false;
    }
    return CheckMsHeadersOf(state);
}

}  // namespace lumesta
