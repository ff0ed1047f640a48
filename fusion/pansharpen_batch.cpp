#include "fusion/pansharpen_batch.h"

#include "fusion/etm_run.h"
#include "fusion/pansharpen_run.h"
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

}  // namespace

BatchOutcome RunPanSharpenBatch(PanSharpenJob& job, RunCounters& counters, Host& host,
                                const std::function<void(long, long)>& onJob, BatchTally* tally)
{
    auto record = [&](BatchReader& reader, BatchOutputFormat indicator) {
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
        return RecordOf(RunPanSharpen(job, counters, host));
    };
    return ProcessBatchFile(job.batchPath, host, record, onJob, tally);
}

BatchOutcome RunEtmBatch(EtmJob& job, RunCounters& counters, Host& host,
                         const std::function<void(long, long)>& onJob, BatchTally* tally)
{
    auto record = [&](BatchReader& reader, BatchOutputFormat indicator) {
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
        return RecordOf(RunEtmPanSharpen(job, counters, host));
    };
    return ProcessBatchFile(job.batchPath, host, record, onJob, tally);
}

}  // namespace lumesta
