#include "batch/batch_file.h"

#include <fstream>
#include <string>

#include "core/input_file.h"
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

BatchRecord RecordOf(RunOutcome outcome)
{
    switch (outcome) {
        case RunOutcome::Finished:
            return BatchRecord::Run;
        case RunOutcome::Cancelled:
            return BatchRecord::Cancelled;
        case RunOutcome::Stopped:
            break;
    }
    return BatchRecord::Failed;
}

namespace {

// Reads the announced jobs of one group; Stop or Cancelled end the whole batch.
BatchRecord ReadGroup(BatchReader& reader, long count, long indicator, Host& host,
                      const BatchRecordHandler& handleRecord,
                      const std::function<void(long, long)>& onJob, BatchTally& tally,
                      long& processed)
{
    for (long job = 1; job <= count; ++job) {
        ++processed;
        if (onJob) onJob(job, count);
        long number = 0;
        std::string rest;
        if (!reader.ReadWholeNumber(number)) {
            host.ShowMessage(kBatchOrderMessage);
            return BatchRecord::Stop;
        }
        reader.ReadLine(rest);
        const BatchRecord result = handleRecord(reader, static_cast<BatchOutputFormat>(indicator));
        if (result == BatchRecord::Stop || result == BatchRecord::Cancelled) return result;
        ++(result == BatchRecord::Run ? tally.finished : tally.stopped);
    }
    return BatchRecord::Run;
}

// The number of the first line longer than a batch line may be (254 characters before its
// CR LF or LF), or 0; the stream is read to its end.
long FirstOverlongLine(std::istream& in)
{
    long number = 1;
    std::size_t length = 0;
    bool endsInCr = false;
    for (int c = in.get(); c != EOF; c = in.get()) {
        if (c == '\n') {
            if (length - (endsInCr ? 1 : 0) > 254) return number;
            ++number;
            length = 0;
            endsInCr = false;
            continue;
        }
        ++length;
        endsInCr = c == '\r';
    }
    return length - (endsInCr ? 1 : 0) > 254 ? number : 0;
}

}  // namespace

BatchOutcome ProcessBatchFile(const std::string& path, Host& host,
                              const BatchRecordHandler& handleRecord,
                              const std::function<void(long, long)>& onJob, BatchTally* tally)
{
    BatchTally ownTally;
    BatchTally& counts = tally ? *tally : ownTally;
    counts = BatchTally();
    std::ifstream in;
    // A folder opens as a stream that reads nothing, a pipe would block: both are refused.
    if (IsRegularFile(path)) in.open(path, std::ios::binary);
    BatchReader reader(in);
    if (!in || reader.AtEnd()) {
        host.ShowMessage(kBatchReadFailureMessage);
        return BatchOutcome::Stopped;
    }
    // A longer line would be read cut, and an output could land under the cut name: such a
    // file runs no job.
    if (const long overlong = FirstOverlongLine(in)) {
        host.ShowMessage("Line " + std::to_string(overlong) +
                         " of the batch inputs file is longer than 254 characters: shorten it "
                         "(move the files to a shorter folder path).");
        return BatchOutcome::Stopped;
    }
    in.clear();
    in.seekg(0);
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
        const BatchRecord group =
            ReadGroup(reader, count, indicator, host, handleRecord, onJob, counts, processed);
        if (group == BatchRecord::Cancelled) return BatchOutcome::Cancelled;
        if (group == BatchRecord::Stop) return BatchOutcome::Stopped;
    } while (processed != count && !reader.AtEnd());
    if (processed == 0) {
        // A file announcing no job holds nothing to do: that is no finished batch.
        host.ShowMessage(kBatchReadFailureMessage);
        return BatchOutcome::Stopped;
    }
    return counts.stopped == 0 ? BatchOutcome::Completed : BatchOutcome::Stopped;
}

}  // namespace lumesta
