#pragma once
// Processing "Ascii Batch Input File" (.bif) job lists: the header, then one job record after
// another through the tool's record handler; the input and output lines shared by the tools.

#include <array>
#include <functional>

#include "batch/batch_reader.h"
#include "core/host.h"

namespace lumesta {

// The file's output format indicator, as the file stores it: which pictures every job writes.
enum class BatchOutputFormat { BmpAndGeoTiff = 0, BmpOnly = 1, GeoTiffOnly = 2 };

// What one job record of a batch file came to: the job ran and finished, was skipped after a
// message, ran and stopped on a message, was cancelled, or the batch file cannot be read on.
enum class BatchRecord { Run, Skip, Failed, Cancelled, Stop };

// The record result of a job that ran with the given outcome.
BatchRecord RecordOf(RunOutcome outcome);

// Reads one job record after its job number line (reader positioned at the record's first
// input line) with the file's output format indicator; runs the job itself when it can.
using BatchRecordHandler =
    std::function<BatchRecord(BatchReader& reader, BatchOutputFormat indicator)>;

// Processes a batch file: the header (job count, indicator), then each job record through
// handleRecord. onJob (may be empty) hears of every job before it is read (1-based index,
// announced count). Every stop shows its message; earlier jobs stay done. A batch file that
// is not a regular file, cannot be read or announces no job stops with "Error - when reading
// the batch inputs file.". tally (may be null) counts the jobs that finished and stopped.
BatchOutcome ProcessBatchFile(const std::string& path, Host& host,
                              const BatchRecordHandler& handleRecord,
                              const std::function<void(long, long)>& onJob,
                              BatchTally* tally = nullptr);

// Reads one input line and applies the GeoTIFF test; false (after the order message) when the
// line is missing or is not a .tif path.
bool ReadGeoTiffLine(BatchReader& reader, std::string& line, Host& host);
// The multispectral lines of a 16-bit record: one four-band GeoTIFF (files all name it,
// bands 4) or four single-band GeoTIFFs in file order (bands 1). A first file whose header
// cannot be read is taken as a single band, so that the records that follow are still read in
// step, and unreadable is set. Stop after "In match mode, MS input must contain a single or 4
// bands. Reprepare input file." or a failed line.
BatchRecord ReadSixteenBitMsLines(BatchReader& reader, Host& host, std::array<std::string, 4>& files,
                                  int& bands, bool& unreadable);

// Reads one output line; false (after the order message) when the file ended.
bool ReadOutputLine(BatchReader& reader, std::string& line, Host& host);

}  // namespace lumesta
