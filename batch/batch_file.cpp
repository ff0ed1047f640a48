#include "batch/batch_file.h"

#include <fstream>

#include "raster/image_info.h"

namespace lumesta {

bool ReadGeoTiffLine(BatchReader& reader, std::string& line, Host& host)
{
    if (reader.ReadLine(line) && PassesGeoTiffTest(line)) return true;
    host.ShowMessage(kBatchOrderMessage);
    return false;
}

BatchRecord ReadSixteenBitMsLines(BatchReader& reader, Host& host, std::array<std::string, 4>& files,
                                  int& bands, bool& unreadable)
{
    std::string first;
    if (!ReadGeoTiffLine(reader, first, host)) return BatchRecord::Stop;
    CImageInfo header;
    unreadable = header.ReadHeader16(first, host) == 0;
    bands = unreadable ? 1 : header.bands;
    if (bands != 1 && bands != 4) {
        host.ShowMessage("In match mode, MS input must contain a single or 4 bands. Reprepare input file.");
        return BatchRecord::Stop;
    }
    files = {first, first, first, first};
    for (int band = 1; band < 4 && bands == 1; ++band) {
        if (!ReadGeoTiffLine(reader, files[band], host)) return BatchRecord::Stop;
    }
    return BatchRecord::Run;
}

bool ReadOutputLine(BatchReader& reader, std::string& line, Host& host)
{
    if (reader.ReadLine(line)) return true;
    host.ShowMessage(kBatchOrderMessage);
    return false;
}

BatchOutcome ProcessBatchFile(const std::string& path, Host& host,
                              const BatchRecordHandler& handleRecord,
                              const std::function<void(long, long)>& onJob)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        host.ShowMessage(kBatchReadFailureMessage);
        return BatchOutcome::Stopped;
    }
    BatchReader reader(in);
    if (reader.AtEnd()) return BatchOutcome::Completed;
    long processed = 0;
    long count = 1;
    do {
        long indicator = 0;
        // A header that is not two whole numbers leaves nothing sound to read on.
        if (!reader.ReadWholeNumber(count) || !reader.ReadWholeNumber(indicator)) {
            host.ShowMessage(kBatchOrderMessage);
            return BatchOutcome::Stopped;
        }
        if (indicator < 0 || indicator > 2) {
            host.ShowMessage(kBatchIndicatorMessage);
            return BatchOutcome::Stopped;
        }
        for (long job = 1; job <= count; ++job) {
            ++processed;
            if (onJob) onJob(job, count);
            long number = 0;
            std::string rest;
            if (!reader.ReadWholeNumber(number)) {
                host.ShowMessage(kBatchOrderMessage);
                return BatchOutcome::Stopped;
            }
            reader.ReadLine(rest);
            if (handleRecord(reader, static_cast<BatchOutputFormat>(indicator)) == BatchRecord::Stop) {
                return BatchOutcome::Stopped;
            }
        }
    } while (processed != count && !reader.AtEnd());
    return BatchOutcome::Completed;
}

}  // namespace lumesta
