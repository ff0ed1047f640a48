#include "cli/tool_commands.h"

#include <iostream>

#include "assess/assess_options.h"
#include "assess/haar_transform.h"
#include "assess/image_stats.h"
#include "assess/semivariance.h"
#include "cli/batch_table_command.h"
#include "composite/combine_batch.h"
#include "composite/combine_options.h"
#include "composite/combine_run.h"
#include "fusion/etm_options.h"
#include "fusion/fusion_batch.h"
#include "fusion/fusion_run.h"
#include "fusion/pansharpen_options.h"
#include "fusion/registration/register_options.h"
#include "fusion/registration/register_run.h"
#include "workflows/quality_line.h"
#include "workflows/quality_options.h"
#include "workflows/quality_runs.h"

namespace lumesta::cli {

namespace {

// The exit status of a batch: 0 when every job finished, the cancel status when cancelled
// (no further job started), otherwise 1 with a closing line counting the jobs.
int BatchExitStatus(BatchOutcome outcome, const BatchTally& tally, Host& host)
{
    if (outcome == BatchOutcome::Completed) return kExitFinished;
    if (outcome == BatchOutcome::Cancelled) return CancelledExitStatus();
    if (tally.finished + tally.stopped > 0) {
        host.ShowMessage("Batch jobs finished: " + std::to_string(tally.finished) +
                         ", stopped: " + std::to_string(tally.stopped) + ".");
    }
    return kExitStopped;
}

// A batch job runs every job of its file, with one progress line per job on standard error.
template <typename Job, typename Run, typename RunBatch>
int RunOnceOrBatch(Job& job, Host& host, Run run, RunBatch runBatch)
{
    RunCounters counters;
    if (!job.batchMode) return ExitStatusOf(run(job, counters, host));
    const auto onJob = [&host](long index, long count) {
        host.ShowMessage("Batch job " + std::to_string(index) + " of " + std::to_string(count));
    };
    BatchTally tally;
    const BatchOutcome outcome = runBatch(job, counters, host, onJob, &tally);
    return BatchExitStatus(outcome, tally, host);
}

template <typename Job, typename Run>
int RunOnce(Job& job, Host& host, Run run)
{
    RunCounters counters;
    return ExitStatusOf(run(job, counters, host));
}

int RunCombine(const std::vector<std::string>& args, CombineDepth depth,
               const JobListConsumer& consumer)
{
    BandCombinationJob job(depth);
    return RunBatchTableCommand<BandCombinationJob>(
        args, CombineOptions(depth), job,
        [](BandCombinationJob& set, Host& host, const OptionValues&) {
            return RunOnceOrBatch(set, host, RunBandCombination, RunBandCombinationBatch);
        },
        BandCombinationBatchActions, consumer);
}

// The program's host without the report block: standard output carries only the results
// unless --log names a file for the block.
class ResultOnlyHost : public Host {
public:
    ResultOnlyHost(Host& outer, bool keepLog) : m_outer(outer), m_keepLog(keepLog) {}
    void ShowMessage(const std::string& text) override { m_outer.ShowMessage(text); }
    bool AskYesNo(const std::string& question) override { return m_outer.AskYesNo(question); }
    void WriteErrorStream(const std::string& text) override { m_outer.WriteErrorStream(text); }
    void AppendLog(const std::string& bytes) override
    {
        if (m_keepLog) m_outer.AppendLog(bytes);
    }
    void PumpPendingMessages() override { m_outer.PumpPendingMessages(); }
    bool IsCancelled() const override { return m_outer.IsCancelled(); }
    std::unique_ptr<RunProgress> OpenProgress(const std::string& caption,
                                              ProgressOwner owner) override
    {
        return m_outer.OpenProgress(caption, owner);
    }
    void OpenInViewer(ViewerKind kind, const std::string& path) override
    {
        m_outer.OpenInViewer(kind, path);
    }
    void SetBusyCursor(bool on) override { m_outer.SetBusyCursor(on); }

private:
    Host& m_outer;
    bool m_keepLog;
};

int RunQuality(const std::vector<std::string>& args, QualityProtocol protocol)
{
    QualityJob job;
    return RunTableCommand<QualityJob>(
        args, QualityOptions(protocol), job,
        [protocol](QualityJob& set, Host& host, const OptionValues& values) {
            ResultOnlyHost results(host, values.Has("--log"));
            RunCounters counters;
            std::vector<QualityRow> rows;
            const RunOutcome outcome = RunQuality(set, counters, results, rows);
            if (outcome == RunOutcome::Finished && protocol != QualityProtocol::Degrade) {
                const std::string format = values.Text("--format").value_or("text");
                std::cout << FormatQualityRows(rows, KindOf(protocol),
                                               format == "json"  ? QualityFormat::Json
                                               : format == "csv" ? QualityFormat::Csv
                                                                 : QualityFormat::Text)
                          << std::flush;
            }
            return ExitStatusOf(outcome);
        });
}

}  // namespace

int RunQualityReducedCommand(const std::vector<std::string>& args)
{
    return RunQuality(args, QualityProtocol::Reduced);
}

int RunQualityFullCommand(const std::vector<std::string>& args)
{
    return RunQuality(args, QualityProtocol::Full);
}

int RunQualityWaldCommand(const std::vector<std::string>& args)
{
    return RunQuality(args, QualityProtocol::Wald);
}

int RunDegradeCommand(const std::vector<std::string>& args)
{
    return RunQuality(args, QualityProtocol::Degrade);
}

int RunRegisterCommand(const std::vector<std::string>& args)
{
    RegisterJob job;
    return RunTableCommand<RegisterJob>(
        args, RegisterOptions(), job, [](RegisterJob& set, Host& host, const OptionValues& values) {
            ResultOnlyHost results(host, values.Has("--log"));
            RunCounters counters;
            RegistrationEstimate estimate;
            const RunOutcome outcome = RunRegisterWithReport(set, counters, results, estimate);
            if (outcome == RunOutcome::Finished) {
                std::cout << FormatRegistration(estimate, set.format) << std::flush;
            }
            return ExitStatusOf(outcome);
        });
}

int RunPanSharpenCommand(const std::vector<std::string>& args, const JobListConsumer& consumer)
{
    PanSharpenJob job;
    return RunBatchTableCommand<PanSharpenJob>(
        args, PanSharpenOptions(), job,
        [](PanSharpenJob& set, Host& host, const OptionValues&) {
            return RunOnceOrBatch(set, host, RunPanSharpenWithQuality, RunPanSharpenBatch);
        },
        PanSharpenBatchActions, consumer);
}

int RunEtmCommand(const std::vector<std::string>& args, const JobListConsumer& consumer)
{
    EtmJob job;
    return RunBatchTableCommand<EtmJob>(
        args, EtmOptions(), job,
        [](EtmJob& set, Host& host, const OptionValues&) {
            return RunOnceOrBatch(set, host, RunEtmPanSharpenWithQuality, RunEtmBatch);
        },
        EtmBatchActions, consumer);
}

int RunCombineCommand(const std::vector<std::string>& args, const JobListConsumer& consumer)
{
    return RunCombine(args, CombineDepth::Sixteen, consumer);
}

int RunCombine8Command(const std::vector<std::string>& args, const JobListConsumer& consumer)
{
    return RunCombine(args, CombineDepth::Eight, consumer);
}

int RunPanSharpenCommand(const std::vector<std::string>& args)
{
    return RunPanSharpenCommand(args, {});
}
int RunEtmCommand(const std::vector<std::string>& args)
{
    return RunEtmCommand(args, {});
}
int RunCombineCommand(const std::vector<std::string>& args)
{
    return RunCombineCommand(args, {});
}
int RunCombine8Command(const std::vector<std::string>& args)
{
    return RunCombine8Command(args, {});
}

int RunSemivarianceCommand(const std::vector<std::string>& args)
{
    SemivarianceJob job;
    return RunTableCommand<SemivarianceJob>(
        args, SemivarianceOptions(), job,
        [](SemivarianceJob& set, Host& host, const OptionValues&) {
            return RunOnce(set, host, ComputeSemivariance);
        });
}

int RunImageStatsCommand(const std::vector<std::string>& args)
{
    ImageStatsJob job;
    return RunTableCommand<ImageStatsJob>(args, ImageStatsOptions(), job,
                                          [](ImageStatsJob& set, Host& host, const OptionValues&) {
                                              return RunOnce(set, host, ComputeImageStatistics);
                                          });
}

int RunHaarCommand(const std::vector<std::string>& args)
{
    HaarJob job;
    return RunTableCommand<HaarJob>(args, HaarOptions(), job,
                                    [](HaarJob& set, Host& host, const OptionValues&) {
                                        return RunOnce(set, host, ComputeHaarTransform);
                                    });
}

}  // namespace lumesta::cli
