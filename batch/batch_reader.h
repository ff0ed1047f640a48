#pragma once
// The tokens of an "Ascii Batch Input File" (.bif): whole numbers with white space and line
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

// How a batch ended: every announced job read and finished; stopped on a message (the batch
// file's, or any job's, which does not keep the later jobs from running); or cancelled, which
// starts no further job.
enum class BatchOutcome { Completed, Stopped, Cancelled };

// How many jobs of a batch finished and how many stopped (skipped jobs included).
struct BatchTally {
    long finished = 0;
    long stopped = 0;
};

}  // namespace lumesta
