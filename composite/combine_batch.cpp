#include "composite/combine_batch.h"

#include <algorithm>

#include "composite/combine_report.h"
#include "composite/combine_run.h"
#include "composite/combine_steps.h"
#include "raster/file_name.h"
#include "raster/image_info.h"

namespace lumesta {
namespace {

// Blue, Green and Red by the selectors from the 16-bit layout's one or four files.
BatchRecord ReadSixteenBitInputs(BatchReader& reader, BandCombinationJob& job, Host& host, bool& skip)
{
    std::array<std::string, 4> files;
    int bands = 1;
    if (ReadSixteenBitMsLines(reader, host, files, bands, skip) == BatchRecord::Stop) {
        return BatchRecord::Stop;
    }
    job.inputBands = bands;
    for (int band = kCompositeBlue; band <= kCompositeRed; ++band) {
        const int selector = std::min(std::max(job.selectedIndex[band], 0), 3);
        job.bandPath[band] = files[bands == 1 ? selector : 0];
        job.selection[band] =
            bands == 1 ? files[selector] : " Band (" + std::to_string(selector + 1) + ")";
    }
    return BatchRecord::Run;
}

BatchRecord ReadEightBitInputs(BatchReader& reader, BandCombinationJob& job, Host& host)
{
    for (int band = kCompositeBlue; band <= kCompositeRed; ++band) {
        if (!ReadGeoTiffLine(reader, job.bandPath[band], host)) return BatchRecord::Stop;
        job.selection[band] = FileNameOf(job.bandPath[band]);
    }
    job.inputBands = 1;
    return BatchRecord::Run;
}

// Every input of a batch job is a GeoTIFF; the outputs follow the file's indicator.
void TakeOutputs(BandCombinationJob& job, const std::string& bmp, const std::string& geoTiff,
                 BatchOutputFormat indicator)
{
    job.bmpPath = bmp;
    job.geoTiffPath = geoTiff;
    job.outputs = static_cast<CombineOutputs>(indicator);
    job.geoTiffOutput = indicator != BatchOutputFormat::BmpOnly;
    job.displayBmp = false;
    job.bluePath = job.bandPath[kCompositeBlue];
    job.folder = FolderOf(job.bluePath);
}

// A record into the job: the pan line (read, not used), Blue, Green, Red, the outputs, then
// the Blue file's header.
BatchRecord LoadCombineRecord(BatchReader& reader, BatchOutputFormat indicator, BandCombinationJob& job, Host& host)
{
    const bool sixteen = job.depth == CombineDepth::Sixteen;
    job.inputKind = ".tif";
    job.bandExt = {"tif", "tif", "tif"};
    job.bandKind.fill(RasterKind::GeoTiffOrMatrix);
    job.groupInput = false;
    std::string pan, bmp, geoTiff;
    if (!reader.ReadLine(pan)) {  // the pan line is read and not used
        host.ShowMessage(kBatchOrderMessage);
        return BatchRecord::Stop;
    }
    bool skip = false;
    const BatchRecord inputs =
        sixteen ? ReadSixteenBitInputs(reader, job, host, skip) : ReadEightBitInputs(reader, job, host);
    if (inputs == BatchRecord::Stop) return BatchRecord::Stop;
    if (!ReadOutputLine(reader, bmp, host) || !ReadOutputLine(reader, geoTiff, host)) {
        return BatchRecord::Stop;
    }
    TakeOutputs(job, bmp, geoTiff, indicator);
    if (skip) {
        host.AppendLog("Batch job skipped: the header of " + job.bandPath[kCompositeBlue] +
                       " cannot be read.\r\n");
        return BatchRecord::Skip;
    }
    CImageInfo header;
    const int read = sixteen ? header.ReadHeader16(job.bluePath, host) : header.ReadHeader8(job.bluePath, host);
    if (read == 0) return BatchRecord::Skip;
    if (!sixteen && header.bands >= 2) {
        host.ShowMessage(
            "Batch mode cannot process 8-bit geotiff file with multiple bands. Reprepare input file.");
        return BatchRecord::Stop;
    }
    job.width = header.width;
    job.height = header.height;
    job.blueHeaderWidth = header.width;
    job.blueHeaderHeight = header.height;
    return BatchRecord::Run;
}

// Each distinct band file, and the composites the indicator asks for.
void DescribeJob(const BandCombinationJob& job, std::vector<std::string>& inputs,
                 std::vector<std::string>& outputs)
{
    inputs.clear();
    for (const auto& path : job.bandPath) {
        if (std::find(inputs.begin(), inputs.end(), path) == inputs.end()) inputs.push_back(path);
    }
    outputs.clear();
    if (WritesCompositeBmp(job)) outputs.push_back(job.bmpPath);
    if (WritesCompositeGeoTiff(job)) outputs.push_back(job.geoTiffPath);
}

}  // namespace

BatchToolActions BandCombinationBatchActions(BandCombinationJob& job, RunCounters& counters)
{
    BatchToolActions actions;
    // Each record is loaded over the settings the batch started with, so that what one run
    // leaves in the job record never reaches the next job.
    actions.load = [&job, settings = job](BatchReader& reader, BatchOutputFormat indicator, Host& host) {
        job = settings;
        return LoadCombineRecord(reader, indicator, job, host);
    };
    actions.describe = [&job](std::vector<std::string>& inputs, std::vector<std::string>& outputs) {
        DescribeJob(job, inputs, outputs);
    };
    actions.countRun = [&job, &counters](Host& quiet) {
        if (ValidateCombineJob(job, quiet)) counters.Increment(Tool::BandCombination);
    };
    actions.run = [&job, &counters](Host& host) { return RunBandCombination(job, counters, host); };
    return actions;
}

BatchOutcome RunBandCombinationBatch(BandCombinationJob& job, RunCounters& counters, Host& host,
                                     const std::function<void(long, long)>& onJob,
                                     BatchTally* tally)
{
    return RunAllBatchJobs(job.batchPath, host, BandCombinationBatchActions(job, counters), onJob, tally);
}

}  // namespace lumesta
