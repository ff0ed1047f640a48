#pragma once
// The browse handling shared by the two pan-sharpening dialogs (16-bit and Landsat ETM+). The
// tools differ in their header reader, the number of MS bands, and what makes a multi-band MS
// file; Traits supplies those:
//   static constexpr int kBands;          // 4 or 3
//   static int ReadHeader(CImageInfo&, const std::string& path, Host&);
//   static bool IsMultiBand(int bands);   // the file supplies every band
//   static std::string BandName(const CImageInfo&, int band);

#include <cstdint>
#include <cstdio>
#include <string>

#include "core/host.h"
#include "raster/file_name.h"
#include "raster/group_file.h"
#include "raster/image_info.h"

namespace lumesta::browse {

inline bool IsEnviOrIdrisi(const std::string& ext) { return ext == "img" || ext == "rst"; }

template <typename Traits, typename Job>
void EmptyBandLists(Job& job)
{
    for (int band = 0; band < Traits::kBands; ++band) {
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

template <typename Traits, typename Job>
bool BrowsePan(Job& job, const std::string& path, Host& host, const std::string& tiffSingleBand)
{
    static const std::string kEnviSingleBand = "Envi image: Only a single band is allowed in Pan file.";
    constexpr std::int64_t kNoAutoDisplayPixels = 10000000;
    job.batchMode = false;
    EmptyBandLists<Traits>(job);
    job.width = 0;
    job.height = 0;
    job.browseEnabled.fill(true);
    job.panName = FileNameOf(path);
    job.panPath = path;
    job.panExt = ExtensionLower(path);
    job.rasterKind[0] = 0;
    auto clearPan = [&job] {
        job.panName.clear();
        job.panPath.clear();
        job.width = 0;
        job.height = 0;
    };
    if (job.panExt == "img" || job.panExt == "rst" || job.panExt == "tif") {
        if (Traits::ReadHeader(job.info, path, host) == 0) {
            clearPan();
            return false;
        }
        if (job.info.bands > 1) {
            if (job.panExt == "tif" && !tiffSingleBand.empty()) {
                host.ShowMessage(tiffSingleBand);
            } else {
                host.ShowMessage(kEnviSingleBand);
            }
            clearPan();
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
        // Batch mode: the file's jobs supply every input; the lists become colour selectors.
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
    job.bmpName = path + job.suffix + ".bmp";
    job.rasterKind[0] = 1;
    return true;
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
    job.rasterKind[1] = IsEnviOrIdrisi(ext) ? 0 : 1;
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
        job.rasterKind[band + 1] = ext == "tif" ? 1 : 0;
    }
    EnableOtherBrowses<Traits>(job, false);
    return true;
}

template <typename Traits, typename Job>
bool BrowseBlue(Job& job, const std::string& path, Host& host)
{
    const std::string ext = ExtensionLower(path);
    if (ext == "rgf") return TakeGroup<Traits>(job, path, host);
    if (ext == "img" || ext == "tif") return TakeMultiBandOrSingle<Traits>(job, path, ext, host);
    if (ext == "rst") {
        EmptyBandLists<Traits>(job);
        if (Traits::ReadHeader(job.info, path, host) == 0) return false;
    }
    TakeSingleBlue<Traits>(job, path, ext);
    return true;
}

template <typename Job>
bool BrowseOtherBand(Job& job, int band, const std::string& path, Host& host)
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
    job.rasterKind[band + 1] = IsEnviOrIdrisi(ext) ? 0 : 1;
    return true;
}

template <typename Traits, typename Job>
void SelectBand(Job& job, int band, int index)
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
void SetSuffix(Job& job, const std::string& suffix)
{
    job.suffix = suffix;
    job.bmpName = DerivedBmpName(job);
}

template <typename Job>
void ChooseBmp(Job& job, const std::string& path)
{
    if (std::FILE* file = std::fopen(path.c_str(), "wb")) std::fclose(file);
    job.bmpName = path;
}

}  // namespace lumesta::browse
