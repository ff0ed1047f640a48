#include "fusion/report/parameter_section.h"

#include <cstdint>
#include <string>
#include <vector>

namespace lumesta {
namespace {

std::string Num(std::int64_t value) { return std::to_string(static_cast<long long>(value)); }

// The opening lines of section (c): its title, the fusion method (and, when auto chose it, how),
// where the MS was placed on the pan (when the run registers) and the resampling method.
void WriteMethodLines(FusionMethod method, const std::string& offsetLine, RunLog& log,
                      const std::vector<std::string>& autoLines = {})
{
    log.Append("(c) Key Parameters:\r\n");
    log.Append(std::string("Pan-Sharpening Method:\t") + MethodRowOf(method).reportName + "\r\n");
    for (const std::string& line : autoLines) log.Append(line);
    if (!offsetLine.empty()) log.Append(offsetLine + "\r\n");
    log.Append(std::string("Resampling Method:\t") + ResamplingLabel(method) + "\r\n");
}

}  // namespace

void WriteParameterSection(const PanSharpenJob& job, const std::string& offsetLine, RunLog& log)
{
    static const char* const kFilters[3] = {"Spatial Filtering:\tSharpen\r\n",
                                            "Spatial Filtering:\tDetail\r\n",
                                            "Spatial Filtering:\tNone\r\n"};
    static const char* const kFlagLabels[4] = {"\t- Blue:\t\t", "\t- Green:\t", "\t- Red:\t\t",
                                               "\t- NIR:\t\t"};
    WriteMethodLines(job.method, offsetLine, log,
                     job.autoMethod.requested ? job.autoMethod.reportLines
                                              : std::vector<std::string>{});
    log.Append(kFilters[static_cast<int>(job.filterType)]);
    for (int band = kBlue; band <= kNir; ++band) {
        log.Append(std::string(kFlagLabels[band]) + (job.filterFlags[band] ? "Yes\r\n" : "No\r\n"));
    }
    log.Append("Colour Modification:\r\n");
    for (int band = kBlue; band <= kRed; ++band) {
        log.Append(std::string(kFlagLabels[band]) + Num(job.colourAmounts[band]) + "\r\n");
    }
    log.Append("\t- NIR:\t\tN/A\r\n\r\n");
}

void WriteParameterSection(const EtmJob& job, RunLog& log)
{
    static const char* const kFilters[5] = {
        "Spatial Filtering:\tSmooth\r\n", "Spatial Filtering:\tSmooth, followed by sharpening\r\n",
        "Spatial Filtering:\tNone\r\n", "Spatial Filtering:\tDetail\r\n",
        "Spatial Filtering:\tSharpen\r\n"};
    static const char* const kFlagLabels[3] = {"\t- Blue:\t\t", "\t- Green:\t", "\t- Red:\t\t"};
    WriteMethodLines(job.method, std::string(), log);
    log.Append(kFilters[static_cast<int>(job.filterType)]);
    for (int band = 0; band < 3; ++band) {
        log.Append(std::string(kFlagLabels[band]) + (job.filterFlags[band] ? "Yes\r\n" : "No\r\n"));
    }
}

}  // namespace lumesta
