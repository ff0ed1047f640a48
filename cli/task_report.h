#pragma once
// What cluster collect reads in the files an array task leaves: whether its report ends as a
// finished run's does, and the messages of a task that did not finish. Pure text in, text out,
// so that every byte a task may leave can be put through it.

#include <string>
#include <vector>

namespace lumesta::cli {

// True when the report text ends with the finishing line every finished run of the batch tools
// writes ("Notes:\r\n").
bool ReportTextFinished(const std::string& reportText);

// The messages of a failed task: the lines of its Slurm output less the progress lines
// ("Batch job ..."), or else the last line of its report that is not blank ("Cancelled",
// "Unsuccessful", ...), or else "no report and no message". Line ends "\n" or "\r\n".
std::vector<std::string> FailureMessagesOf(const std::string& slurmOutput,
                                           const std::string& reportText);

}  // namespace lumesta::cli
