#include "workflows/quality_report.h"

#include <ctime>
#include <string>


namespace lumesta {
namespace {

const char* ProtocolName(QualityProtocol protocol)
{
    switch (protocol) {
        case QualityProtocol::Reduced:
            return "reduced resolution (fused against a reference)";
        case QualityProtocol::Full:
            return "full resolution (no reference)";
        case QualityProtocol::Wald:
            return "reduced resolution, each fusion method (Wald)";
        case QualityProtocol::Degrade:
            return "degradation to the reduced scale";
    }
    return "";
}

void AppendPaths(const std::string& label, const std::vector<std::string>& paths, RunLog& log)
{
    for (const std::string& path : paths) log.Append("    " + label + ":\t" + path + "\r\n");
}


}  // namespace

QualityKind KindOf(QualityProtocol protocol)
{
    return protocol == QualityProtocol::Full ? QualityKind::Full : QualityKind::Reduced;
}

void WriteQualityReportHead(const QualityJob& job, RunLog& log)
{
    const std::int32_t number = log.OpenBlock(Tool::FusionQuality);
    log.Append("_____________ Fusion Quality Run (" + std::to_string(number) +
               ") _____________________\r\n\r\n");
    log.Append(std::string("(a) Protocol:\t") + ProtocolName(job.protocol) + "\r\n\r\n");
    log.Append("(b) Inputs\r\n");
    // Only the files the protocol takes: a job may carry others (a dialog's other protocol).
    const bool reduced = job.protocol == QualityProtocol::Reduced;
    if (reduced || job.protocol == QualityProtocol::Full) AppendPaths("Fused", job.fused, log);
    if (reduced) AppendPaths("Reference", job.reference, log);
    if (!reduced && !job.pan.empty()) log.Append("    Pan:\t" + job.pan + "\r\n");
    if (!reduced) AppendPaths("MS", job.ms, log);
    log.Append("    Ratio:\t" + std::to_string(job.ratio) + "\r\n");
    if (job.protocol == QualityProtocol::Reduced) {
        log.Append("    Border cut:\t" + std::to_string(job.cut) + "\r\n");
    } else {
        log.Append("    Sensor:\t" + job.sensor + "\r\n");
    }
}

void WriteQualityReportEnd(const QualityJob& job, const std::vector<QualityRow>& rows,
                           std::time_t start, RunLog& log)
{
    if (job.protocol == QualityProtocol::Degrade) {
        log.Append("\r\n(c) Outputs\r\n    " + job.outFolder + "/pan.tif\r\n    " + job.outFolder +
                   "/ms.tif\r\n");
    } else {
        log.Append("\r\n(c) Results\r\n");
        log.AppendLines(FormatQualityRows(rows, KindOf(job.protocol), QualityFormat::Report));
        if (!job.mapPath.empty()) log.Append("    Block map:\t" + job.mapPath + "\r\n");
        if (job.protocol == QualityProtocol::Wald && !job.keepFolder.empty())
            log.Append("    Kept in:\t" + job.keepFolder + "\r\n");
    }
    log.AppendTimesAndFinish("(d)", start);
}

}  // namespace lumesta
