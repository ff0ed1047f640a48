#include "fusion/pansharpen_browse.h"

#include <cstdio>

#include "raster/file_name.h"
#include "raster/group_file.h"

namespace lumesta {
namespace {

constexpr std::int64_t kNoAutoDisplayPixels = 10000000;

void EmptyBandLists(PanSharpenJob& job)
{
    for (int band = kBlue; band <= kNir; ++band) {
        job.bandLists[band].clear();
        job.selectedIndex[band] = -1;
        job.selection[band].clear();
        job.msPath[band].clear();
        job.msExt[band].clear();
        job.rasterKind[band + 1] = 0;
    }
    job.msBandCount = 0;
    job.msHeaderType.clear();
    job.groupFolder.clear();
}

void EnableOtherBrowses(PanSharpenJob& job, bool enabled)
{
    for (int band = kGreen; band <= kNir; ++band) job.browseEnabled[band] = enabled;
}

void ClearPan(PanSharpenJob& job)
{
    job.panName.clear();
    job.panPath.clear();
    job.width = 0;
    job.height = 0;
}

bool IsEnviOrIdrisi(const std::string& ext) { return ext == "img" || ext == "rst"; }

std::string DerivedBmpName(const PanSharpenJob& job)
{
    const std::string base = IsEnviOrIdrisi(job.panExt) ? WithoutLastFour(job.panPath) : job.panPath;
    return base + job.suffix + ".bmp";
}

// One band file in the Blue list; the other lists wait for their own browse.
void TakeSingleBlue(PanSharpenJob& job, const std::string& path, const std::string& ext)
{
    EmptyBandLists(job);
    job.msBandCount = 1;
    job.bandLists[kBlue] = {FileNameOf(path)};
    job.selectedIndex[kBlue] = 0;
    job.selection[kBlue] = job.bandLists[kBlue][0];
    job.msPath[kBlue] = path;
    job.msExt[kBlue] = ext;
    job.rasterKind[1] = IsEnviOrIdrisi(ext) ? 0 : 1;
    EnableOtherBrowses(job, true);
}

bool TakeGroup(PanSharpenJob& job, const std::string& path, Host& host)
{
    static const std::string kGroupReadFailure = "Error - when reading the input *.rgf file!";
    EmptyBandLists(job);
    const auto group = ReadGroupFile(path, 4, kGroupReadFailure, host);
    if (!group) {
        EnableOtherBrowses(job, true);
        return false;
    }
    EnableOtherBrowses(job, false);
    job.groupFolder = group->folder;
    job.msBandCount = 1;
    for (int band = kBlue; band <= kNir; ++band) {
        job.bandLists[band] = group->names;
        job.selectedIndex[band] = band;
        job.selection[band] = group->names[band];
        job.msPath[band] = group->BandPath(band);
        job.msExt[band] = "rst";
    }
    // The first member's header is checked, but Width and Height keep the pan's size: in this
    // tool they describe the pan band, not the MS bands.
    CImageInfo first;
    if (first.ReadHeader16(job.msPath[kBlue], host) == 0) {
        EmptyBandLists(job);
        EnableOtherBrowses(job, true);
        return false;
    }
    return true;
}

bool TakeMultiBandOrSingle(PanSharpenJob& job, const std::string& path, const std::string& ext,
                           Host& host)
{
    EmptyBandLists(job);
    if (job.info.ReadHeader16(path, host) == 0) return false;
    const int bands = job.info.bands;
    if (bands != 4) {
        TakeSingleBlue(job, path, ext);
        return true;
    }
    job.msBandCount = 4;
    job.msHeaderType = ext == "img" ? job.info.headerKind : std::string();
    for (int band = kBlue; band <= kNir; ++band) {
        job.bandLists[band].assign(std::begin(job.info.bandNames4), std::end(job.info.bandNames4));
        job.selectedIndex[band] = band;
        job.selection[band] = job.info.bandNames4[band];
        job.msPath[band] = path;
        job.msExt[band] = ext;
        job.rasterKind[band + 1] = ext == "tif" ? 1 : 0;
    }
    EnableOtherBrowses(job, false);
    return true;
}

}  // namespace

bool BrowsePan(PanSharpenJob& job, const std::string& path, Host& host)
{
    static const std::string kEnviSingleBand = "Envi image: Only a single band is allowed in Pan file.";
    static const std::string kTiffSingleBand =
        "GeoTIFF image: Only a single band is allowed in Pan file.";
    job.batchMode = false;
    EmptyBandLists(job);
    job.width = 0;
    job.height = 0;
    job.browseEnabled = {true, true, true, true};
    job.panName = FileNameOf(path);
    job.panPath = path;
    job.panExt = ExtensionLower(path);
    job.rasterKind[0] = 0;

    if (job.panExt == "img" || job.panExt == "rst" || job.panExt == "tif") {
        if (job.info.ReadHeader16(path, host) == 0) {
            ClearPan(job);
            return false;
        }
        if (job.info.bands > 1) {
            host.ShowMessage(job.panExt == "tif" ? kTiffSingleBand : kEnviSingleBand);
            ClearPan(job);
            return false;
        }
        job.width = job.info.width;
        job.height = job.info.height;
        if (static_cast<std::int64_t>(job.width) * job.height > kNoAutoDisplayPixels) {
            job.displayBmp = false;
        }
        if (job.panExt == "rst") {
            job.panMinX = job.info.minX;
            job.panMaxX = job.info.maxX;
            job.panMinY = job.info.minY;
            job.panMaxY = job.info.maxY;
        }
        job.bmpName = WithoutLastFour(path) + job.suffix + ".bmp";
        if (job.panExt == "tif") job.rasterKind[0] = 1;
        return true;
    }
    if (job.panExt == "bif") {
        host.ShowMessage("Ascii batch input files are not supported yet.");
        ClearPan(job);
        return false;
    }
    job.bmpName = path + job.suffix + ".bmp";
    job.rasterKind[0] = 1;
    return true;
}

bool BrowseBlue(PanSharpenJob& job, const std::string& path, Host& host)
{
    const std::string ext = ExtensionLower(path);
    if (ext == "rgf") return TakeGroup(job, path, host);
    if (ext == "img" || ext == "tif") return TakeMultiBandOrSingle(job, path, ext, host);
    if (ext == "rst") {
        EmptyBandLists(job);
        if (job.info.ReadHeader16(path, host) == 0) return false;
    }
    TakeSingleBlue(job, path, ext);
    return true;
}

bool BrowseOtherBand(PanSharpenJob& job, int band, const std::string& path, Host& host)
{
    if (job.selection[kBlue].empty()) {
        host.ShowMessage("Please enter the blue band first.");
        return false;
    }
    const std::string ext = ExtensionLower(path);
    job.bandLists[band] = {FileNameOf(path)};
    job.selectedIndex[band] = 0;
    job.selection[band] = job.bandLists[band][0];
    job.msPath[band] = path;
    job.msExt[band] = ext;
    job.rasterKind[band + 1] = IsEnviOrIdrisi(ext) ? 0 : 1;
    return true;
}

void SelectBand(PanSharpenJob& job, int band, int index)
{
    const auto& list = job.bandLists[band];
    if (index < 0 || index >= static_cast<int>(list.size())) return;
    job.selectedIndex[band] = index;
    job.selection[band] = list[index];
    if (job.batchMode) return;
    if (job.panExt == "rst" && list.size() >= 4 && !job.groupFolder.empty()) {
        job.msPath[band] = job.groupFolder + list[index] + ".rst";
    }
}

void SetSuffix(PanSharpenJob& job, const std::string& suffix)
{
    job.suffix = suffix;
    job.bmpName = DerivedBmpName(job);
}

void ChooseBmp(PanSharpenJob& job, const std::string& path)
{
    if (std::FILE* file = std::fopen(path.c_str(), "wb")) std::fclose(file);
    job.bmpName = path;
}

}  // namespace lumesta
