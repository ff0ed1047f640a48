#pragma once
// The files a command's run reads and writes, so that the log can be refused when it is one of
// them: each job's inputs (with the headers beside them and, for a batch file, every line it
// lists) and its outputs.

#include <string>
#include <vector>

#include "assess/haar_job.h"
#include "assess/image_stats_job.h"
#include "assess/semivariance_job.h"
#include "composite/combine_job.h"
#include "fusion/etm_job.h"
#include "fusion/pansharpen_job.h"
#include "fusion/registration/register_job.h"
#include "workflows/quality_runs.h"

namespace lumesta::cli {

std::vector<std::string> RunFilesOf(const PanSharpenJob& job);
std::vector<std::string> RunFilesOf(const EtmJob& job);
std::vector<std::string> RunFilesOf(const BandCombinationJob& job);
std::vector<std::string> RunFilesOf(const SemivarianceJob& job);
std::vector<std::string> RunFilesOf(const ImageStatsJob& job);
std::vector<std::string> RunFilesOf(const HaarJob& job);
std::vector<std::string> RunFilesOf(const QualityJob& job);
std::vector<std::string> RunFilesOf(const RegisterJob& job);

}  // namespace lumesta::cli
