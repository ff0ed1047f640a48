#pragma once
// Reading "Ascii Batch Input File" (.bif) job lists: whole numbers with white space and line
// ends skipped, lines of at most 254 characters (CR LF or LF ends, never part of a value), and
// the GeoTIFF test of input lines. The per-tool record layouts live with each tool's batch run.

#include <istream>
#include <string>

namespace lumesta {

// The stop messages shared by every batch run.
extern const char* const kBatchOrderMessage;        // bad group/order, or not a .tif input
extern const char* const kBatchReadFailureMessage;  // file cannot be opened or read
extern const char* const kBatchIndicatorMessage;    // indicator not 0, 1 or 2

class BatchReader {
public:
    explicit BatchReader(std::istream& in) : m_in(in) {}

    // Skips white space (line ends included), then reads an optionally signed decimal number;
    // the character after it stays unread. False when no number is there.
    bool ReadWholeNumber(long& value);
    // Reads up to the next line end (at most 254 characters kept) and consumes the line end.
    // False at the end of the file when nothing was left to read.
    bool ReadLine(std::string& line);
    bool AtEnd();

private:
    std::istream& m_in;
};

// The last three characters of an input line, lower-cased, must be "tif".
bool PassesGeoTiffTest(const std::string& line);

// How a batch ended: every announced job read (and run or skipped), or stopped on a message.
enum class BatchOutcome { Completed, Stopped };

}  // namespace lumesta

#include <array>
#include <functional>

#include "app/host.h"

namespace lumesta {

// What one job record of a batch file came to.
enum class BatchRecord { Run, Skip, Stop };

// Reads one job record after its job number line (reader positioned at the record's first
// input line) with the file's output format indicator; runs the job itself when it can.
using BatchRecordHandler = std::function<BatchRecord(BatchReader& reader, int indicator)>;

// Processes a batch file: the header (job count, indicator), then each job record through
// handleRecord. onJob (may be empty) hears of every job before it is read (1-based index,
// announced count). Every stop shows its message; earlier jobs stay done.
BatchOutcome ProcessBatchFile(const std::string& path, Host& host,
                              const BatchRecordHandler& handleRecord,
                              const std::function<void(long, long)>& onJob);

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
