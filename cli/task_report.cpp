#include "cli/task_report.h"

#include <sstream>

namespace lumesta::cli {
namespace {

const std::string kFinishingLine = "Notes:\r\n";

// The lines of text without their line ends.
std::vector<std::string> LinesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

}  // namespace

bool ReportTextFinished(const std::string& reportText)
{
    return reportText.size() >= kFinishingLine.size() &&
           reportText.compare(reportText.size() - kFinishingLine.size(), kFinishingLine.size(),
                              kFinishingLine) == 0;
}

std::vector<std::string> FailureMessagesOf(const std::string& slurmOutput,
                                           const std::string& reportText)
{
    std::vector<std::string> messages;
    for (const std::string& line : LinesOf(slurmOutput)) {
        if (line.empty() || line.rfind("Batch job ", 0) == 0) continue;
        messages.push_back(line);
    }
    if (!messages.empty()) return messages;
    for (const std::string& line : LinesOf(reportText)) {
        if (line.find_first_not_of(" \t") != std::string::npos) messages.assign(1, line);
    }
    if (messages.empty()) messages.push_back("no report and no message");
    return messages;
}

}  // namespace lumesta::cli
