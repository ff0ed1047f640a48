#include "fusion/batch_file.h"

#include <cctype>

namespace lumesta {

const char* const kBatchOrderMessage =
    "Check the group/order of files in Batch Input File; \r\nBatch mode processes geotiff file "
    "(*.tif) only.";
const char* const kBatchReadFailureMessage = "Error - when reading the batch inputs file.";
const char* const kBatchIndicatorMessage =
    "Output format indicator in the *.bif file should be 0, 1, or 2.";

bool BatchReader::ReadWholeNumber(long& value)
{
    int c = m_in.get();
    while (c != EOF && std::isspace(c)) c = m_in.get();
    bool negative = false;
    if (c == '+' || c == '-') {
        negative = c == '-';
        c = m_in.get();
    }
    if (c == EOF || !std::isdigit(c)) {
        m_in.clear(m_in.rdstate() & ~std::ios::failbit);
        return false;
    }
    long result = 0;
    while (c != EOF && std::isdigit(c)) {
        if (result < 100000000) result = result * 10 + (c - '0');
        c = m_in.get();
    }
    if (c != EOF) m_in.unget();
    m_in.clear(m_in.rdstate() & ~std::ios::failbit);
    value = negative ? -result : result;
    return true;
}

bool BatchReader::ReadLine(std::string& line)
{
    line.clear();
    int c = m_in.get();
    if (c == EOF) return false;
    while (c != EOF && c != '\n') {
        if (line.size() < 254) line.push_back(static_cast<char>(c));
        c = m_in.get();
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    m_in.clear(m_in.rdstate() & ~std::ios::failbit);
    return true;
}

bool BatchReader::AtEnd() { return m_in.peek() == EOF; }

bool PassesGeoTiffTest(const std::string& line)
{
    if (line.size() < 3) return false;
    std::string tail = line.substr(line.size() - 3);
    for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return tail == "tif";
}

}  // namespace lumesta

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
            if (handleRecord(reader, static_cast<int>(indicator)) == BatchRecord::Stop) {
                return BatchOutcome::Stopped;
            }
        }
    } while (processed != count && !reader.AtEnd());
    return BatchOutcome::Completed;
}

}  // namespace lumesta
