#include "fusion/report/report_sections.h"

#include "core/time_stamp.h"
#include "fusion/etm_job.h"
#include "fusion/pansharpen_job.h"

namespace lumesta {
namespace {

std::string Num(std::int64_t value)
{
    return std::to_string(static_cast<long long>(value));
}

}  // namespace

void WriteStretchReport(bool colourMatch, const StretchParams& stretch, RunLog& log)
{
    static const char* const kCutoffLabels[3] = {
        "\t- Blue: \tleft-side: ", "\t- Green:\tleft-side: ", "\t- Red:  \tleft-side: "};
    static const char* const kNonlinearLabels[3] = {"\t- Blue: \t", "\t- Green: \t",
                                                    "\t- Red: \t\t"};
    log.Append("Stretch:\r\n");
    log.Append(colourMatch ? "\tColours match with those of inputs more closely?\tYes\r\n"
                           : "\tColours match with those of inputs more closely?\tNo\r\n");
    log.Append("\tHistogram stretching: cutoffs at both ends (%)\r\n");
    for (int band = 0; band < 3; ++band) {
        log.Append(kCutoffLabels[band] + Num(stretch.leftCutoff[band]) + "\t" +
                   "right-side: " + Num(stretch.rightCutoff[band]) + "\r\n");
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

template <typename Job, std::size_t N>
void WriteOutputSection(const Job& job, const FusedOutputs<N>& outputs,
                        const std::string& resultPath, RunLog& log)
{
    static const char* const kBandNames[4] = {"Blue", "Green", "Red", "NIR"};
    log.Append("(d) Output Pan-Sharpened Colour Images:\r\n");
    // In batch mode only the outputs the indicator asks for are listed.
    for (std::size_t band = 0; band < N; ++band) {
        if (!resultPath.empty()) {
            log.Append(std::string(kBandNames[band]) + ":\t" + resultPath + " (Band " +
                       std::to_string(band + 1) + ")\r\n");
        } else if (outputs.kind != PanOutputKind::GeoTiff) {
            log.Append(std::string(kBandNames[band]) + ":\t" + outputs.data[band] + "\r\n");
        } else if (WritesGeoTiff(job, outputs.kind)) {
            log.Append(std::string(kBandNames[band]) + ":\t" + outputs.geoTiff + " (Band " +
                       std::to_string(band + 1) + ")\r\n");
        }
    }
    if (WritesBmp(job)) log.Append("BMP:\t" + job.bmpName + "\r\n");
    log.Append(std::string("Display it?\t\t") + (job.displayBmp ? "Yes\r\n" : "No\r\n"));
    WriteStretchReport(job.colourMatch, job.stretch, log);
}

template void WriteOutputSection(const PanSharpenJob&, const FusedOutputs<4>&,
                                 const std::string&, RunLog&);
template void WriteOutputSection(const EtmJob&, const FusedOutputs<3>&, const std::string&,
                                 RunLog&);

void WriteReportEnd(RunLog& log, std::time_t start, std::time_t postProcessing, std::time_t end)
{
    log.Append("\r\n(f) Seconds spent:\t" + Num(static_cast<std::int64_t>(end - start)) + " s\r\n");
    log.Append("    Start time:\t\t" + TimeStamp(start) + "\r\n");
    log.Append("    Post-processing:\t" + TimeStamp(postProcessing) + "\r\n");
    log.Append("    End time:\t\t" + TimeStamp(end) + "\r\n\r\n");
    log.Append("Notes:\r\n");
}

}  // namespace lumesta
