#include "cli/run_file_list.h"

#include <fstream>

#include "core/input_file.h"
#include "fusion/outputs/fusion_outputs.h"
#include "raster/file_name.h"

namespace lumesta::cli {
namespace {

// The inputs with the ENVI and Idrisi32 header names beside each (headers are read too),
// then the outputs.
std::vector<std::string> RunFileList(const std::vector<std::string>& inputs,
                                     const std::vector<std::string>& outputs)
{
    std::vector<std::string> all;
    for (const auto& path : inputs) {
        if (path.empty()) continue;
        all.push_back(path);
        if (path.size() <= 4) continue;
        all.push_back(path.substr(0, path.size() - 4) + ".hdr");
        all.push_back(path.substr(0, path.size() - 4) + ".rdc");
    }
    all.insert(all.end(), outputs.begin(), outputs.end());
    return all;
}

// Every line of a batch file (none when there is no such file): its jobs' inputs and outputs
// are among them.
std::vector<std::string> BatchFileLines(const std::string& path)
{
    std::vector<std::string> lines;
    if (path.empty() || !IsRegularFile(path)) return lines;
    std::ifstream in(path, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

template <std::size_t N>
void AddFusedOutputs(const FusedOutputs<N>& outputs, std::vector<std::string>& all)
{
    all.insert(all.end(), outputs.data.begin(), outputs.data.end());
    all.insert(all.end(), outputs.headers.begin(), outputs.headers.end());
    all.push_back(outputs.geoTiff);
}

template <typename Job>
std::vector<std::string> FusionInputs(const Job& job)
{
    std::vector<std::string> inputs(job.msPath.begin(), job.msPath.end());
    inputs.insert(inputs.end(), {job.panPath, job.batchPath});
    const std::vector<std::string> batchLines = BatchFileLines(job.batchPath);
    inputs.insert(inputs.end(), batchLines.begin(), batchLines.end());
    return inputs;
}

template <typename Job>
std::vector<std::string> FusionRunFiles(const Job& job)
{
    std::vector<std::string> outputs{job.bmpName};
    AddFusedOutputs(DeriveJobOutputs(job), outputs);
    return RunFileList(FusionInputs(job), outputs);
}

// The one result of --ms or of --output/--format (the data file and an ENVI result's header,
// under every name the result may take while its format is still open: a default --ms result
// is ENVI or GeoTIFF by the MS's reader) and, with --ms and no --bmp, the picture beside it.
std::vector<std::string> OneResultFiles(const PanSharpenJob& job)
{
    const DeliveryJob& asked = job.delivery;
    std::vector<std::string> names;
    if (!asked.outputPath.empty()) {
        names.push_back(asked.outputPath);
    } else {
        const std::string stem =
            WithoutExtension(asked.Active() ? asked.msPath : job.msPath[kBlue]) + job.suffix;
        if (asked.outputFormat != "envi") names.push_back(stem + ".tif");
        if (asked.outputFormat.empty() || asked.outputFormat == "envi") names.push_back(stem + ".img");
    }
    std::vector<std::string> files;
    for (const std::string& name : names) {
        files.push_back(name);
        if (LastFourLower(name) == ".img") files.push_back(WithoutLastFour(name) + ".hdr");
        if (asked.Active() && !asked.bmpGiven) files.push_back(WithoutExtension(name) + ".bmp");
    }
    if (!asked.Active() || asked.bmpGiven) files.push_back(job.bmpName);
    return files;
}

}  // namespace

std::vector<std::string> RunFilesOf(const PanSharpenJob& job)
{
    const DeliveryJob& asked = job.delivery;
    if (!asked.Active() && asked.outputPath.empty() && asked.outputFormat.empty()) {
        return FusionRunFiles(job);
    }
    std::vector<std::string> inputs = FusionInputs(job);
    inputs.push_back(asked.msPath);
    return RunFileList(inputs, OneResultFiles(job));
}

std::vector<std::string> RunFilesOf(const EtmJob& job)
{
    return FusionRunFiles(job);
}

std::vector<std::string> RunFilesOf(const BandCombinationJob& job)
{
    std::vector<std::string> inputs(job.bandPath.begin(), job.bandPath.end());
    inputs.insert(inputs.end(), {job.bluePath, job.batchPath});
    const std::vector<std::string> batchLines = BatchFileLines(job.batchPath);
    inputs.insert(inputs.end(), batchLines.begin(), batchLines.end());
    return RunFileList(inputs, {job.bmpPath, job.geoTiffPath});
}

std::vector<std::string> RunFilesOf(const SemivarianceJob& job)
{
    return RunFileList({job.input.inputPath}, {job.outputPath});
}

std::vector<std::string> RunFilesOf(const ImageStatsJob& job)
{
    return RunFileList({job.input.inputPath}, {job.outputPath});
}

std::vector<std::string> RunFilesOf(const HaarJob& job)
{
    return RunFileList({job.input.inputPath, job.inputHeaderPath},
                       {job.outputImagePath, job.outputHeaderPath, job.bmpPath});
}

std::vector<std::string> RunFilesOf(const QualityJob& job)
{
    std::vector<std::string> inputs(job.fused.begin(), job.fused.end());
    inputs.insert(inputs.end(), job.reference.begin(), job.reference.end());
    inputs.insert(inputs.end(), job.ms.begin(), job.ms.end());
    inputs.push_back(job.pan);
    std::vector<std::string> outputs{job.mapPath};
    // The degraded inputs and results the folders of --keep and --out take.
    for (const std::string& folder : {job.keepFolder, job.outFolder}) {
        if (folder.empty()) continue;
        outputs.insert(outputs.end(), {folder + "/pan.tif", folder + "/ms.tif"});
        for (const auto& method : job.methods) outputs.push_back(folder + "/" + method + ".tif");
    }
    return RunFileList(inputs, outputs);
}

std::vector<std::string> RunFilesOf(const RegisterJob& job)
{
    std::vector<std::string> inputs(job.ms.begin(), job.ms.end());
    inputs.push_back(job.pan);
    return RunFileList(inputs, {});
}

}  // namespace lumesta::cli
