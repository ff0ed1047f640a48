#include "batch/batch_reader.h"

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
