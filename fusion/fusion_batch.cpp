#include "fusion/fusion_batch.h"

#include <algorithm>

#include "fusion/fusion_run.h"
#include "fusion/outputs/fusion_outputs.h"
#include "fusion/fusion_validation.h"
#include "raster/file_name.h"
#include "raster/image_info.h"

namespace lumesta {
namespace {

// Every input of a batch job is a GeoTIFF, marked as neither ENVI nor Idrisi32.
template <typename Job>
void MarkInputsGeoTiff(Job& job)
{
    job.panExt = "tif";
    for (auto& ext : job.msExt) ext = "tif";
    job.rasterKind.fill(RasterKind::GeoTiffOrMatrix);
}

template <typename Job>
void TakePanAndOutputs(Job& job, const std::string& pan, const std::string& bmp,
                       const std::string& geoTiff, BatchOutputFormat indicator)
{
    job.panPath = pan;
    job.panName = FileNameOf(pan);
    job.geoReference = pan;
    job.bmpName = bmp;
    job.batchGeoTiff = geoTiff;
    job.batchOutputFormat = indicator;
    job.displayBmp = false;
}

// The multispectral lines of a 16-bit record: one four-band file, or four single-band files.
// A first file whose header cannot be read is skipped as if it held one band, so that the
// records that follow are still read in step.
BatchRecord ReadMsLines(BatchReader& reader, PanSharpenJob& job, Host& host, bool& skip)
{
    std::array<std::string, 4> files;
    int bands = 1;
    if (ReadSixteenBitMsLines(reader, host, files, bands, skip) == BatchRecord::Stop) {
        return BatchRecord::Stop;
    }
    const auto& selectors = job.selectedIndex;
    for (int a = 0; a < 4; ++a) {
        for (int b = a + 1; b < 4; ++b) {
            if (selectors[a] == selectors[b]) {
                host.ShowMessage("Input MS bands should not be the same.");
                return BatchRecord::Stop;
            }
        }
    }
    job.msBandCount = bands;
    for (int band = 0; band < 4; ++band) {
        const int selector = std::min(std::max(selectors[band], 0), 3);
        job.msPath[band] = files[bands == 1 ? selector : 0];
        job.selection[band] =
            bands == 1 ? files[selector] : " (Band " + std::to_string(selector + 1) + ")";
    }
    return BatchRecord::Run;
}

// A 16-bit record into the job: pan, multispectral files, outputs, then the pan's header.
BatchRecord LoadPanSharpenRecord(BatchReader& reader, BatchOutputFormat indicator, PanSharpenJob& job, Host& host)
{
    MarkInputsGeoTiff(job);
    std::string pan, bmp, geoTiff;
    if (!ReadGeoTiffLine(reader, pan, host)) return BatchRecord::Stop;
    bool skip = false;
    if (ReadMsLines(reader, job, host, skip) == BatchRecord::Stop) return BatchRecord::Stop;
    if (!ReadOutputLine(reader, bmp, host) || !ReadOutputLine(reader, geoTiff, host)) {
        return BatchRecord::Stop;
    }
    TakePanAndOutputs(job, pan, bmp, geoTiff, indicator);
    if (skip) {
        host.AppendLog("Batch job skipped: the header of " + job.msPath[0] + " cannot be read.\r\n");
        return BatchRecord::Skip;
    }
    CImageInfo header;
    if (header.ReadHeader16(pan, host) == 0) return BatchRecord::Skip;
    if (header.bands >= 2) {
        host.ShowMessage("Batch mode cannot process PAN imagery with multiple bands. Reprepare input file.");
        return BatchRecord::Stop;
    }
    job.width = header.width;
    job.height = header.height;
    return BatchRecord::Run;
}

// A Landsat record into the job: pan, blue, green, red, outputs, then the pan's header.
BatchRecord LoadEtmRecord(BatchReader& reader, BatchOutputFormat indicator, EtmJob& job, Host& host)
{
    MarkInputsGeoTiff(job);
    std::string pan, bmp, geoTiff;
    if (!ReadGeoTiffLine(reader, pan, host)) return BatchRecord::Stop;
    for (int band = 0; band < 3; ++band) {
        if (!ReadGeoTiffLine(reader, job.msPath[band], host)) return BatchRecord::Stop;
    }
    if (!ReadOutputLine(reader, bmp, host) || !ReadOutputLine(reader, geoTiff, host)) {
        return BatchRecord::Stop;
    }
    TakePanAndOutputs(job, pan, bmp, geoTiff, indicator);
    job.msBandCount = 1;
    CImageInfo header;
    if (header.ReadHeader8(pan, host) == 0) return BatchRecord::Skip;
    if (header.bands >= 2) {
        host.ShowMessage(
            "Batch mode cannot process 8-bit geotiff file with multiple bands. Reprepare input file.");
        return BatchRecord::Stop;
    }
    job.width = header.width;
    job.height = header.height;
    return BatchRecord::Run;
}

// The pan, each distinct multispectral file, and the pictures the indicator asks for.
template <typename Job>
void DescribeJob(const Job& job, std::vector<std::string>& inputs, std::vector<std::string>& outputs)
{
    inputs.assign(1, job.panPath);
    for (const auto& path : job.msPath) {
        if (std::find(inputs.begin(), inputs.end(), path) == inputs.end()) inputs.push_back(path);
    }
    outputs.clear();
    if (WritesBmp(job)) outputs.push_back(job.bmpName);
    if (job.batchOutputFormat != BatchOutputFormat::BmpOnly) outputs.push_back(job.batchGeoTiff);
}

// Loads each record over the settings the batch started with, so that what one run leaves in
// the job record (a failed run clears the inputs and selectors) never reaches the next job.
template <typename Job, typename Load, typename Run>
BatchToolActions MakeActions(Job& job, Load load, Run run, const std::function<bool(Job&, Host&)>& validate,
                             RunCounters& counters)
{
    BatchToolActions actions;
    actions.load = [&job, settings = job, load](BatchReader& reader, BatchOutputFormat indicator, Host& host) {
        job = settings;
        return load(reader, indicator, job, host);
    };
    actions.describe = [&job](std::vector<std::string>& inputs, std::vector<std::string>& outputs) {
        DescribeJob(job, inputs, outputs);
    };
    actions.countRun = [&job, &counters, validate](Host& quiet) {
        if (validate(job, quiet)) counters.Increment(Tool::PanSharpening);
    };
    actions.run = [&job, &counters, run](Host& host) { return run(job, counters, host); };
    return actions;
}

}  // namespace

BatchToolActions PanSharpenBatchActions(PanSharpenJob& job, RunCounters& counters)
{
    return MakeActions<PanSharpenJob>(job, LoadPanSharpenRecord, RunPanSharpen, ValidatePanSharpenJob,
                                      counters);
}

BatchToolActions EtmBatchActions(EtmJob& job, RunCounters& counters)
{
    return MakeActions<EtmJob>(job, LoadEtmRecord, RunEtmPanSharpen, ValidateEtmJob, counters);
}

BatchOutcome RunPanSharpenBatch(PanSharpenJob& job, RunCounters& counters, Host& host,
                                const std::function<void(long, long)>& onJob, BatchTally* tally)
{
    // The ranking chooses for one scene; a batch would otherwise run method 1 unannounced.
    if (job.autoMethod.requested) {
        host.ShowMessage(
            "Best for this scene (--method auto) chooses the method of one scene.\nChoose a "
            "method for the scenes of a batch file.");
        return BatchOutcome::Stopped;
    }
    return RunAllBatchJobs(job.batchPath, host, PanSharpenBatchActions(job, counters), onJob, tally);
}

BatchOutcome RunEtmBatch(EtmJob& job, RunCounters& counters, Host& host,
                         const std::function<void(long, long)>& onJob, BatchTally* tally)
{
    return RunAllBatchJobs(job.batchPath, host, EtmBatchActions(job, counters), onJob, tally);
}

}  // namespace lumesta
