#include "fusion/fusion_browse.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "raster/file_name.h"
#include "raster/group_file.h"
#include "raster/image_info.h"
#include "raster/reader_choice.h"

namespace lumesta {
namespace {

// The two pan-sharpening dialogs browse alike; they differ in their header reader, the number
// of MS bands, what makes a multi-band MS file and what a batch file puts in the band lists.
struct Browse16 {
    static constexpr bool kBatchListsHoldFileName = false;
    static constexpr int kBands = 4;
    static int ReadHeader(CImageInfo& info, const std::string& path, Host& host)
    {
        if (!HeaderFileOpens(path, host)) return 0;
        return info.ReadHeader16(path, host);
    }
    static bool IsMultiBand(int bands) { return bands == 4; }
    static std::string BandName(const CImageInfo& info, int band) { return info.bandNames4[band]; }
};

struct Browse8 {
    static constexpr bool kBatchListsHoldFileName = true;
    static constexpr int kBands = 3;
    static int ReadHeader(CImageInfo& info, const std::string& path, Host& host)
    {
        if (!HeaderFileOpens(path, host)) return 0;
        return info.ReadHeader8(path, host);
    }
    static bool IsMultiBand(int bands) { return bands >= 3; }
    static std::string BandName(const CImageInfo& info, int band) { return info.bandNames8[band]; }
};

const std::string kEnviSingleBand = "Envi image: Only a single band is allowed in Pan file.";

bool IsEnviOrIdrisi(const std::string& ext) { return ext == "img" || ext == "rst"; }

template <typename Traits, typename Job>
void EmptyBandLists(Job& job)
{
    for (int band = 0; band < Traits::kBands; ++band) {
        job.bandLists[band].clear();
        job.selectedIndex[band] = -1;
        job.selection[band].clear();
        job.msPath[band].clear();
        job.msExt[band].clear();
        job.rasterKind[band + 1] = RasterKind::EnviOrIdrisi;
    }
    job.msBandCount = 0;
    job.msHeaderType.clear();
    job.groupFolder.clear();
    job.bluePath.clear();
}

template <typename Traits, typename Job>
void EnableOtherBrowses(Job& job, bool enabled)
{
    for (int band = 1; band < Traits::kBands; ++band) job.browseEnabled[band] = enabled;
}

template <typename Job>
std::string DerivedBmpName(const Job& job)
{
    const std::string base = IsEnviOrIdrisi(job.panExt) ? WithoutLastFour(job.panPath) : job.panPath;
    return base + job.suffix + ".bmp";
}

template <typename Job>
void ClearPan(Job& job)
{
    job.panName.clear();
    job.panPath.clear();
    job.width = 0;
    job.height = 0;
}

// The pan's size, the automatic display of the picture and the BMP name from the pan's header.
// A header with more than one band is refused with multiBandMessage.
template <typename Traits, typename Job>
bool TakeHeaderPan(Job& job, const std::string& path, Host& host, const std::string& multiBandMessage)
{
    constexpr std::int64_t kNoAutoDisplayPixels = 10000000;
    if (Traits::ReadHeader(job.info, path, host) == 0) {
        ClearPan(job);
        return false;
    }
    if (job.info.bands > 1) {
        host.ShowMessage(multiBandMessage);
        ClearPan(job);
        return false;
    }
    job.width = job.info.width;
    job.height = job.info.height;
    if (static_cast<std::int64_t>(job.width) * job.height > kNoAutoDisplayPixels) {
        job.displayBmp = false;
    }
    // Names read through GDAL may have longer extensions (".tiff", ".nitf"): the stem counts.
    job.bmpName = (IsGdalName(path) ? WithoutExtension(path) : WithoutLastFour(path)) + job.suffix +
                  ".bmp";
    return true;
}

// An ENVI (.img) or Idrisi32 (.rst) pan; an Idrisi32 pan also lends its coordinates to the
// result headers.
template <typename Traits, typename Job>
bool TakeEnviOrIdrisiPan(Job& job, const std::string& path, Host& host)
{
    if (!TakeHeaderPan<Traits>(job, path, host, kEnviSingleBand)) return false;
    if (job.panExt == "rst") {
        job.panMinX = job.info.minX;
        job.panMaxX = job.info.maxX;
        job.panMinY = job.info.minY;
        job.panMaxY = job.info.maxY;
    }
    return true;
}

// A GeoTIFF pan or one read through GDAL, extracted before the run reads it. tiffSingleBand is
// the tool's refusal of a multi-band GeoTIFF (empty: the ENVI one).
template <typename Traits, typename Job>
bool TakeGeoTiffPan(Job& job, const std::string& path, Host& host, const std::string& tiffSingleBand)
{
    const std::string& multiBand = tiffSingleBand.empty() ? kEnviSingleBand : tiffSingleBand;
    if (!TakeHeaderPan<Traits>(job, path, host, multiBand)) return false;
    job.rasterKind[0] = RasterKind::GeoTiffOrMatrix;
    return true;
}

// Batch mode: the file's jobs supply every input; the lists become colour selectors.
template <typename Traits, typename Job>
bool TakeBatchFile(Job& job, const std::string& path)
{
    job.batchMode = true;
    job.batchPath = path;
    for (int band = 0; band < Traits::kBands; ++band) {
        job.bandLists[band].clear();
        if (Traits::kBatchListsHoldFileName) {
            job.bandLists[band].push_back(job.panName);
        } else {
            for (int entry = 1; entry <= 4; ++entry) {
                job.bandLists[band].push_back("Band " + std::to_string(entry));
            }
        }
        const int index = Traits::kBatchListsHoldFileName ? 0 : band;
        job.selectedIndex[band] = index;
        job.selection[band] = job.bandLists[band][index];
    }
    job.browseEnabled.fill(false);
    job.displayBmp = false;
    return true;
}

// A generic matrix: no header; Width and Height are typed.
template <typename Job>
bool TakeMatrixPan(Job& job, const std::string& path)
{
    job.bmpName = path + job.suffix + ".bmp";
    job.rasterKind[0] = RasterKind::GeoTiffOrMatrix;
    return true;
}

// The pan "..." choice: leaves batch mode, empties the band lists and takes the pan by its kind.
template <typename Traits, typename Job>
bool BrowsePanOf(Job& job, const std::string& path, Host& host, const std::string& tiffSingleBand)
{
    job.batchMode = false;
    EmptyBandLists<Traits>(job);
    job.width = 0;
    job.height = 0;
    job.browseEnabled.fill(true);
    job.panName = FileNameOf(path);
    job.panPath = path;
    job.panExt = ExtensionLower(path);
    job.rasterKind[0] = RasterKind::EnviOrIdrisi;
    if (IsEnviOrIdrisi(job.panExt)) return TakeEnviOrIdrisiPan<Traits>(job, path, host);
    if (IsExtractedExtension(job.panExt))
        return TakeGeoTiffPan<Traits>(job, path, host, tiffSingleBand);
    if (job.panExt == "bif") return TakeBatchFile<Traits>(job, path);
    return TakeMatrixPan(job, path);
}

// One band file in the Blue list; the other lists wait for their own browse.
template <typename Traits, typename Job>
void TakeSingleBlue(Job& job, const std::string& path, const std::string& ext)
{
    EmptyBandLists<Traits>(job);
    job.msBandCount = 1;
    job.bandLists[0] = {FileNameOf(path)};
    job.selectedIndex[0] = 0;
    job.selection[0] = job.bandLists[0][0];
    job.msPath[0] = path;
    job.msExt[0] = ext;
    job.rasterKind[1] = RasterKindOf(ext);
    EnableOtherBrowses<Traits>(job, true);
}

template <typename Traits, typename Job>
bool TakeGroup(Job& job, const std::string& path, Host& host)
{
    static const std::string kGroupReadFailure = "Error - when reading the input *.rgf file!";
    EmptyBandLists<Traits>(job);
    const auto group = ReadGroupFile(path, Traits::kBands, kGroupReadFailure, host);
    if (!group) {
        EnableOtherBrowses<Traits>(job, true);
        return false;
    }
    EnableOtherBrowses<Traits>(job, false);
    job.groupFolder = group->folder;
    job.msBandCount = 1;
    for (int band = 0; band < Traits::kBands; ++band) {
        job.bandLists[band] = group->names;
        job.selectedIndex[band] = band;
        job.selection[band] = group->names[band];
        job.msPath[band] = group->BandPath(band);
        job.msExt[band] = "rst";
    }
    // The first member's header is checked, but Width and Height keep the pan's size: in these
    // tools they describe the pan band, not the MS bands.
    CImageInfo first;
    if (Traits::ReadHeader(first, job.msPath[0], host) == 0) {
        EmptyBandLists<Traits>(job);
        EnableOtherBrowses<Traits>(job, true);
        return false;
    }
    return true;
}

template <typename Traits, typename Job>
bool TakeMultiBandOrSingle(Job& job, const std::string& path, const std::string& ext, Host& host)
{
    EmptyBandLists<Traits>(job);
    if (Traits::ReadHeader(job.info, path, host) == 0) return false;
    const int bands = job.info.bands;
    if (!Traits::IsMultiBand(bands)) {
        TakeSingleBlue<Traits>(job, path, ext);
        return true;
    }
    job.msBandCount = bands;
    job.msHeaderType = ext == "img" ? job.info.headerKind : std::string();
    for (int band = 0; band < Traits::kBands; ++band) {
        job.bandLists[band].clear();
        for (int entry = 0; entry < bands; ++entry) {
            job.bandLists[band].push_back(Traits::BandName(job.info, entry));
        }
        job.selectedIndex[band] = band;
        job.selection[band] = job.bandLists[band][band];
        job.msPath[band] = path;
        job.msExt[band] = ext;
        job.rasterKind[band + 1] = RasterKindOf(ext);
    }
    EnableOtherBrowses<Traits>(job, false);
    return true;
}

template <typename Traits, typename Job>
bool TakeBlue(Job& job, const std::string& path, Host& host)
{
    const std::string ext = ExtensionLower(path);
    if (ext == "rgf") return TakeGroup<Traits>(job, path, host);
    if (ext == "img" || IsExtractedExtension(ext))
        return TakeMultiBandOrSingle<Traits>(job, path, ext, host);
    if (ext == "rst") {
        EmptyBandLists<Traits>(job);
        if (Traits::ReadHeader(job.info, path, host) == 0) return false;
    }
    TakeSingleBlue<Traits>(job, path, ext);
    return true;
}

template <typename Traits, typename Job>
bool BrowseBlueOf(Job& job, const std::string& path, Host& host)
{
    if (!TakeBlue<Traits>(job, path, host)) return false;
    job.bluePath = path;
    return true;
}

template <typename Job>
bool BrowseOtherBandOf(Job& job, int band, const std::string& path, Host& host)
{
    if (job.selection[0].empty()) {
        host.ShowMessage("Please enter the blue band first.");
        return false;
    }
    const std::string ext = ExtensionLower(path);
    job.bandLists[band] = {FileNameOf(path)};
    job.selectedIndex[band] = 0;
    job.selection[band] = job.bandLists[band][0];
    job.msPath[band] = path;
    job.msExt[band] = ext;
    job.rasterKind[band + 1] = RasterKindOf(ext);
    return true;
}

template <typename Traits, typename Job>
void SelectBandOf(Job& job, int band, int index)
{
    const auto& list = job.bandLists[band];
    if (index < 0 || index >= static_cast<int>(list.size())) return;
    job.selectedIndex[band] = index;
    job.selection[band] = list[index];
    if (job.batchMode) return;
    const bool groupList = list.size() >= static_cast<std::size_t>(Traits::kBands);
    if (job.panExt == "rst" && groupList && !job.groupFolder.empty()) {
        job.msPath[band] = job.groupFolder + list[index] + ".rst";
    }
}

template <typename Job>
void SetSuffixOf(Job& job, const std::string& suffix)
{
    job.suffix = suffix;
    job.bmpName = DerivedBmpName(job);
}

// Nothing is created here: an existing file is the run's overwrite question to ask. A name that
// is one of the job's inputs (or their headers) would be deleted by that question's Yes, so it
// is refused at once.
template <typename Job>
bool ChooseBmpOf(Job& job, const std::string& path, Host& host)
{
    std::vector<std::string> inputs{job.panPath, job.batchPath};
    inputs.insert(inputs.end(), job.msPath.begin(), job.msPath.end());
    for (const auto& input : inputs) {
        if (input.empty()) continue;
        for (const auto& name :
             {input, WithoutLastFour(input) + ".hdr", WithoutLastFour(input) + ".rdc"}) {
            if (!SamePath(path, name)) continue;
            host.ShowMessage(path + " is an input of this run.\nChange the name of the 24-bit BMP.");
            return false;
        }
    }
    job.bmpName = path;
    return true;
}

}  // namespace

bool BrowsePan(PanSharpenJob& job, const std::string& path, Host& host)
{
    return BrowsePanOf<Browse16>(job, path, host,
                                 "GeoTIFF image: Only a single band is allowed in Pan file.");
}

bool BrowseBlue(PanSharpenJob& job, const std::string& path, Host& host)
{
    return BrowseBlueOf<Browse16>(job, path, host);
}

bool BrowseOtherBand(PanSharpenJob& job, int band, const std::string& path, Host& host)
{
    return BrowseOtherBandOf(job, band, path, host);
}

void SelectBand(PanSharpenJob& job, int band, int index) { SelectBandOf<Browse16>(job, band, index); }

void SetSuffix(PanSharpenJob& job, const std::string& suffix) { SetSuffixOf(job, suffix); }

bool ChooseBmp(PanSharpenJob& job, const std::string& path, Host& host)
{
    return ChooseBmpOf(job, path, host);
}

void ChooseMethod(PanSharpenJob& job, const FusionMethodRow& method)
{
    job.method = method.method;
    job.autoMethod.requested = false;
    job.filterType = method.defaultFilter;
    job.filterFlags = DefaultFilterFlags(job.filterType);
}

std::array<bool, 4> DefaultFilterFlags(FilterType16 filter)
{
    if (filter == FilterType16::None) return {false, false, false, false};
    return {false, true, true, false};
}

bool BrowseEtmPan(EtmJob& job, const std::string& path, Host& host)
{
    // A multi-band GeoTIFF pan is already refused by the 8-bit header reader.
    return BrowsePanOf<Browse8>(job, path, host, std::string());
}

bool BrowseEtmBlue(EtmJob& job, const std::string& path, Host& host)
{
    return BrowseBlueOf<Browse8>(job, path, host);
}

bool BrowseEtmOtherBand(EtmJob& job, int band, const std::string& path, Host& host)
{
    return BrowseOtherBandOf(job, band, path, host);
}

void SelectEtmBand(EtmJob& job, int band, int index) { SelectBandOf<Browse8>(job, band, index); }

void SetEtmSuffix(EtmJob& job, const std::string& suffix) { SetSuffixOf(job, suffix); }

bool ChooseEtmBmp(EtmJob& job, const std::string& path, Host& host)
{
    return ChooseBmpOf(job, path, host);
}

}  // namespace lumesta
