#include "assess/assess_browse.h"

#include <cstdio>

#include "raster/file_name.h"
#include "raster/gdal/gdal_source.h"
#include "raster/reader_choice.h"

namespace lumesta {
namespace {

void ListOnlyTheFileName(AssessInput& input)
{
    input.inputList = {input.inputName};
    input.listSelection = 0;
}

void TakeEnviBands(AssessInput& input)
{
    input.bandCount = input.info.bands;
    input.dataType = input.info.dataType;
    if (input.bandCount < 2) {
        ListOnlyTheFileName(input);
        return;
    }
    input.inputList.assign(input.info.bandNames8, input.info.bandNames8 + input.bandCount);
    input.listSelection = 0;
    input.bandIndex = 0;
    input.inputName = input.inputList[0];
}

// An image read through GDAL: its size, bands and names from GDAL; 8- and 16-bit integer
// samples only, as the runs read them. False after the reader's message or the refusal.
bool TakeGdalInput(AssessInput& input, const std::string& path, Host& host)
{
    std::string error;
    const std::unique_ptr<RasterSource> source = OpenGdalSource(path, error);
    const RasterDescription* d = source ? &source->Description() : nullptr;
    if (d != nullptr && d->type != SampleType::UInt8 && d->type != SampleType::Int16 &&
        d->type != SampleType::UInt16) {
        error = path + " holds " + SampleTypeName(d->type) +
                " samples: the assessment tools read 8- and 16-bit integer samples.";
    }
    if (!error.empty()) {
        host.ShowMessage(error);
        input.inputName.clear();
        return false;
    }
    input.gdal = true;
    input.width = d->width;
    input.height = d->height;
    input.bandCount = d->bands;
    input.dataType = d->type == SampleType::UInt8 ? 1 : d->type == SampleType::Int16 ? 2 : 12;
    input.bandIndex = 0;
    if (d->bands < 2) {
        ListOnlyTheFileName(input);
    } else {
        input.inputList = d->bandNames;
        input.listSelection = 0;
        input.inputName = input.inputList[0];
    }
    return true;
}

// Output names follow the input without its extension (the last four characters for the
// Parts' names, the whole extension for names read through GDAL).
std::string BaseOf(const AssessInput& input)
{
    return input.gdal ? WithoutExtension(input.inputPath) : WithoutLastFour(input.inputPath);
}

}  // namespace

bool BrowseAssessInput(AssessInput& input, const std::string& path, Host& host)
{
    static const char kHeaderFailure[] = "Error: Reading header file of the input image.";
    input.inputName = FileNameOf(path);
    input.inputPath = path;
    input.extension = ExtensionLower(path);
    input.gdal = false;
    if (ChooseReader(path) == ReaderKind::Gdal) return TakeGdalInput(input, path, host);
    if (input.extension != "img" && input.extension != "rst") {
        input.width = 0;  // a generic matrix: the user types its size
        input.height = 0;
        ListOnlyTheFileName(input);
        return true;
    }
    if (input.info.ReadHeader(path, host) == 0) {
        host.ShowMessage(kHeaderFailure);
        input.inputName.clear();
        return false;
    }
    input.width = input.info.width;
    input.height = input.info.height;
    if (input.extension == "rst") {
        ListOnlyTheFileName(input);
    } else {
        TakeEnviBands(input);
    }
    return true;
}

void SelectAssessInputEntry(AssessInput& input, int entry)
{
    if (entry < 0 || entry >= static_cast<int>(input.inputList.size())) return;
    input.listSelection = entry;
    if ((input.extension == "img" || input.gdal) && input.inputList.size() >= 2) {
        input.bandIndex = entry;
        input.inputName = input.inputList[entry];
    }
}

bool BrowseSemivarianceInput(SemivarianceJob& job, const std::string& path, Host& host)
{
    if (!BrowseAssessInput(job.input, path, host)) return false;
    job.outputPath = BaseOf(job.input) + "_SemiVariance.txt";
    return true;
}

bool BrowseImageStatsInput(ImageStatsJob& job, const std::string& path, Host& host)
{
    if (!BrowseAssessInput(job.input, path, host)) return false;
    job.outputPath = BaseOf(job.input) + "_ImageStats.txt";
    return true;
}

bool BrowseHaarInput(HaarJob& job, const std::string& path, Host& host)
{
    if (!BrowseAssessInput(job.input, path, host)) return false;
    const std::string base = BaseOf(job.input);
    if (job.input.extension == "rst") {
        job.outputImagePath = base + "_Haar.rst";
        job.outputHeaderPath = base + "_Haar.rdc";
        job.inputHeaderPath = base + ".rdc";
    } else if (job.input.extension == "img") {
        job.outputImagePath = base + "_Haar.img";
        job.outputHeaderPath = base + "_Haar.hdr";
        job.inputHeaderPath = base + ".hdr";
    } else {
        job.outputImagePath = path + "_Haar";
    }
    job.bmpPath = base + "_Haar.bmp";
    return true;
}

void ChooseSemivarianceOutput(SemivarianceJob& job, const std::string& path)
{
    job.outputPath = path;
}

void ChooseImageStatsOutput(ImageStatsJob& job, const std::string& path)
{
    job.outputPath = path;
}

std::string HaarHeaderPathFor(const std::string& outputImagePath, const std::string& extension)
{
    const char* suffix = extension == "img" ? ".hdr" : extension == "rst" ? ".rdc" : nullptr;
    if (suffix == nullptr) return "";
    const std::string name = FileNameOf(outputImagePath);
    const bool hasExtension = name.size() > 4 && name[name.size() - 4] == '.';
    return (hasExtension ? WithoutLastFour(outputImagePath) : outputImagePath) + suffix;
}

void SetHaarOutputImage(HaarJob& job, const std::string& path)
{
    job.outputImagePath = path;
    job.outputHeaderPath = HaarHeaderPathFor(path, job.input.extension);
}

void ChooseHaarOutputImage(HaarJob& job, const std::string& path)
{
    SetHaarOutputImage(job, path);
}

void ChooseHaarBmp(HaarJob& job, const std::string& path)
{
    job.bmpPath = path;
}

}  // namespace lumesta
