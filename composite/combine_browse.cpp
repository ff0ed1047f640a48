#include "composite/combine_browse.h"

#include <vector>

#include "raster/file_name.h"
#include "raster/group_file.h"
#include "raster/reader_choice.h"

namespace lumesta {
namespace {

bool IsEnviOrIdrisi(const std::string& ext)
{
    return ext == "img" || ext == "rst";
}

int ReadHeaderOf(BandCombinationJob& job, const std::string& path, Host& host)
{
    if (!HeaderFileOpens(path, host)) return 0;
    return job.depth == CombineDepth::Sixteen ? job.info.ReadHeader16(path, host)
                                              : job.info.ReadHeader8(path, host);
}

void EmptyBandLists(BandCombinationJob& job)
{
    for (int band = kCompositeBlue; band <= kCompositeRed; ++band) {
        job.bandLists[band].clear();
        job.selectedIndex[band] = -1;
        job.selection[band].clear();
        job.bandPath[band].clear();
        job.bandExt[band].clear();
        job.bandKind[band] = RasterKind::EnviOrIdrisi;
    }
    job.inputBands = 0;
    job.groupInput = false;
    job.browseEnabled = {true, true, true};
}

// A refused Blue choice leaves empty lists and no size.
bool RefuseBlue(BandCombinationJob& job)
{
    EmptyBandLists(job);
    job.width = 0;
    job.height = 0;
    return false;
}

void TakeHeaderSize(BandCombinationJob& job)
{
    job.width = job.info.width;
    job.height = job.info.height;
    job.blueHeaderWidth = job.info.width;
    job.blueHeaderHeight = job.info.height;
}

// The output names follow the Blue path without its extension.
void DeriveOutputNames(BandCombinationJob& job)
{
    const std::string ext = ExtensionLower(job.bluePath);
    const std::string base =
        ext.empty() ? job.bluePath : job.bluePath.substr(0, job.bluePath.size() - ext.size() - 1);
    job.bmpPath = base + "_Composite.bmp";
    if (IsExtractedExtension(ext)) job.geoTiffPath = base + "_Composite.tif";
}

// One band file in the Blue list; the other lists wait for their own browse.
void TakeSingleBlue(BandCombinationJob& job, const std::string& ext)
{
    job.inputBands = 1;
    job.bandLists[kCompositeBlue] = {FileNameOf(job.bluePath)};
    job.selectedIndex[kCompositeBlue] = 0;
    job.selection[kCompositeBlue] = job.bandLists[kCompositeBlue][0];
    job.bandPath[kCompositeBlue] = job.bluePath;
    job.bandExt[kCompositeBlue] = ext;
    job.bandKind[kCompositeBlue] = RasterKindOf(ext);
}

// Every list offers every name; Blue, Green and Red start at entries 0, 1 and 2.
void FillAllLists(BandCombinationJob& job, const std::vector<std::string>& names,
                  const std::string& ext)
{
    for (int band = kCompositeBlue; band <= kCompositeRed; ++band) {
        job.bandLists[band] = names;
        job.selectedIndex[band] = band;
        job.selection[band] = names[band];
        job.bandExt[band] = ext;
    }
    job.browseEnabled = {true, false, false};
}

bool TakeGroup(BandCombinationJob& job, Host& host)
{
    static const std::string kGroupReadFailure = "Error - when reading the input *.rgf file.";
    const auto group = ReadGroupFile(job.bluePath, 4, kGroupReadFailure, host);
    if (!group) return RefuseBlue(job);
    FillAllLists(job, group->names, "rst");
    for (int band = kCompositeBlue; band <= kCompositeRed; ++band) {
        job.bandPath[band] = group->BandPath(band);
    }
    job.groupInput = true;
    job.inputBands = 1;
    job.inputKind = ".rst";
    job.folder = group->folder;
    if (ReadHeaderOf(job, job.bandPath[kCompositeBlue], host) == 0) return RefuseBlue(job);
    TakeHeaderSize(job);
    return true;
}

// A file with a header: one band for Blue, or several that the three colours select from.
bool TakeHeaderBands(BandCombinationJob& job, const std::string& ext, Host& host)
{
    if (ReadHeaderOf(job, job.bluePath, host) == 0) return RefuseBlue(job);
    TakeHeaderSize(job);
    if (job.info.bands <= 1) {
        TakeSingleBlue(job, ext);
    } else {
        const bool sixteen = job.depth == CombineDepth::Sixteen;
        const std::string* names = sixteen ? job.info.bandNames4 : job.info.bandNames8;
        FillAllLists(job, std::vector<std::string>(names, names + job.info.bands), ext);
        for (auto& path : job.bandPath) path = job.bluePath;
        job.inputBands = job.info.bands;
    }
    return true;
}

// An ENVI file (one or several bands), an Idrisi32 image (one band) or an Idrisi32 group.
bool TakeEnviOrIdrisi(BandCombinationJob& job, const std::string& ext, Host& host)
{
    if (ext == "rgf") return TakeGroup(job, host);
    if (ext == "img") return TakeHeaderBands(job, ext, host);
    if (ReadHeaderOf(job, job.bluePath, host) == 0) return RefuseBlue(job);
    TakeHeaderSize(job);
    TakeSingleBlue(job, ext);
    return true;
}

// A GeoTIFF file or one read through GDAL (one or several bands); its bands are extracted before
// the run reads them, Green and Red included. Both are of the GeoTIFF kind.
bool TakeGeoTiff(BandCombinationJob& job, const std::string& ext, Host& host)
{
    job.inputKind = ".tif";
    if (!TakeHeaderBands(job, ext, host)) return false;
    job.bandKind.fill(RasterKind::GeoTiffOrMatrix);
    return true;
}

// Batch mode: the file's jobs supply the inputs; the lists become colour selectors.
bool TakeBatchFile(BandCombinationJob& job, const std::string& path)
{
    job.batchMode = true;
    job.batchPath = path;
    job.width = 0;
    job.height = 0;
    for (int band = kCompositeBlue; band <= kCompositeRed; ++band) {
        if (job.depth == CombineDepth::Sixteen) {
            job.bandLists[band] = {"Band 1", "Band 2", "Band 3", "Band 4"};
            job.selectedIndex[band] = band;
        } else {
            job.bandLists[band] = {FileNameOf(path)};
            job.selectedIndex[band] = 0;
        }
        job.selection[band] = job.bandLists[band][job.selectedIndex[band]];
        job.browseEnabled[band] = false;
    }
    job.displayBmp = false;
    return true;
}

}  // namespace

bool BrowseCombineBlue(BandCombinationJob& job, const std::string& path, Host& host)
{
    job.batchMode = false;
    EmptyBandLists(job);
    job.bluePath = path;
    job.folder = FolderOf(path);
    job.inputKind = LastFourLower(path);
    const std::string ext = ExtensionLower(path);
    if (ext == "bif") return TakeBatchFile(job, path);
    bool taken = true;
    if (IsEnviOrIdrisi(ext) || ext == "rgf") {
        taken = TakeEnviOrIdrisi(job, ext, host);
    } else if (IsExtractedExtension(ext)) {
        taken = TakeGeoTiff(job, ext, host);
    } else {
        // A generic matrix: Width and Height are typed.
        TakeSingleBlue(job, ext);
    }
    if (taken) DeriveOutputNames(job);
    return taken;
}

bool BrowseCombineBand(BandCombinationJob& job, int band, const std::string& path, Host& host)
{
    if (job.selection[kCompositeBlue].empty()) {
        host.ShowMessage("Please enter the blue band first.");
        return false;
    }
    const std::string ext = ExtensionLower(path);
    job.bandLists[band] = {FileNameOf(path)};
    job.selectedIndex[band] = 0;
    job.selection[band] = job.bandLists[band][0];
    job.bandPath[band] = path;
    job.bandExt[band] = ext;
    job.bandKind[band] = RasterKindOf(ext);
    return true;
}

void SelectCombineBand(BandCombinationJob& job, int band, int index)
{
    const auto& list = job.bandLists[band];
    if (index < 0 || index >= static_cast<int>(list.size())) return;
    job.selectedIndex[band] = index;
    job.selection[band] = list[index];
    if (job.groupInput && list.size() >= 4) job.bandPath[band] = job.folder + list[index] + ".rst";
}

bool ChooseCombineBmp(BandCombinationJob& job, const std::string& path, Host& host)
{
    std::vector<std::string> inputs{job.bluePath};
    inputs.insert(inputs.end(), job.bandPath.begin(), job.bandPath.end());
    for (const auto& input : inputs) {
        if (input.empty()) continue;
        for (const auto& name :
             {input, WithoutLastFour(input) + ".hdr", WithoutLastFour(input) + ".rdc"}) {
            if (!SamePath(path, name)) continue;
            host.ShowMessage(path +
                             " is an input of this run.\nChange the name of the 24-bit BMP.");
            return false;
        }
    }
    job.bmpPath = path;
    return true;
}

}  // namespace lumesta
