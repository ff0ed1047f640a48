#pragma once

#include <string>
#include <vector>

#include "cli/job_mode.h"

namespace lumesta::cli {

// The tools of lumesta-cli: each sets its tool's job record from the command line as the
// dialog would and runs it. They return the exit status (0 finished, 1 stopped, 2 wrong
// command line, 130 cancelled).
int RunPanSharpenCommand(const std::vector<std::string>& args);
int RunEtmCommand(const std::vector<std::string>& args);
int RunCombineCommand(const std::vector<std::string>& args);
int RunCombine8Command(const std::vector<std::string>& args);
int RunSemivarianceCommand(const std::vector<std::string>& args);
int RunImageStatsCommand(const std::vector<std::string>& args);
int RunHaarCommand(const std::vector<std::string>& args);
// The fusion quality tools print only their results on standard output (text, JSON or CSV by
// --format); their report block goes to --log FILE when given, nowhere otherwise.
int RunQualityReducedCommand(const std::vector<std::string>& args);
int RunQualityFullCommand(const std::vector<std::string>& args);
int RunQualityWaldCommand(const std::vector<std::string>& args);
int RunDegradeCommand(const std::vector<std::string>& args);
// The registration tool prints its estimate on standard output (text or JSON by --format).
int RunRegisterCommand(const std::vector<std::string>& args);

// The batch tools with a batch file, handing its job list to consumer instead of running
// anything (cluster plan and collect).
int RunPanSharpenCommand(const std::vector<std::string>& args, const JobListConsumer& consumer);
int RunEtmCommand(const std::vector<std::string>& args, const JobListConsumer& consumer);
int RunCombineCommand(const std::vector<std::string>& args, const JobListConsumer& consumer);
int RunCombine8Command(const std::vector<std::string>& args, const JobListConsumer& consumer);

}  // namespace lumesta::cli
