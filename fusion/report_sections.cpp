#include "fusion/report_sections.h"

#include "core/time_stamp.h"

namespace lumesta {
namespace {

std::string Num(std::int64_t value) { return std::to_string(static_cast<long long>(value)); }

}  // namespace

void WriteStretchReport(bool colourMatch, const StretchParams& stretch, RunLog& log)
{
    static const char* const kCutoffLabels[3] = {"\t- Blue: \tleft-side: ", "\t- Green:\tleft-side: ",
                                                 "\t- Red:  \tleft-side: "};
    static const char* const kNonlinearLabels[3] = {"\t- Blue: \t", "\t- Green: \t", "\t- Red: \t\t"};
    log.Append("Stretch:\r\n");
    log.Append(colourMatch ? "\tColours match with those of inputs more closely?\tYes\r\n"
                           : "\tColours match with those of inputs more closely?\tNo\r\n");
    log.Append("\tHistogram stretching: cutoffs at both ends (%)\r\n");
    for (int band = 0; band < 3; ++band) {
        log.Append(kCutoffLabels[band] + Num(stretch.leftCutoff[band]) + "\t" + "right-side: " +
                   Num(stretch.rightCutoff[band]) + "\r\n");
    }
    log.Append("\tNonlinear stretching\r\n");
    for (int band = 0; band < 3; ++band) {
        log.Append(kNonlinearLabels[band] + Num(stretch.nonlinear[band]) + "\r\n");
    }
}

std::unique_ptr<RunProgress> OpenPanSharpeningReport(RunLog& log, Host& host)
{
    const std::int32_t number = log.OpenBlock(Tool::PanSharpening);
    log.Append("_____________ Pan-Sharpening Run (" + std::to_string(number) +
               ") _____________________\r\n\r\n");
    auto progress = host.OpenProgress(std::string(), ProgressOwner::ToolDialog);
    progress->SetRange(0, 100, 1);
    progress->SetPosition(0);
    return progress;
}

void WriteReportEnd(RunLog& log, std::time_t start, std::time_t postProcessing, std::time_t end)
{
    log.Append("\r\n(f) Seconds spent:\t" + Num(static_cast<std::int64_t>(end - start)) + " s\r\n");
    log.Append("    Start time:\t\t" + TimeStamp(start) + "\r\n");
    log.Append("    Post-processing:\t" + TimeStamp(postProcessing) + "\r\n");
    log.Append("    End time:\t\t" + TimeStamp(end) + "\r\n\r\n");
    log.Append("Notes:\r\n");
}

}  // namespace lumesta
