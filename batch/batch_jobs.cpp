#include "batch/batch_jobs.h"

#include <algorithm>

namespace lumesta {
namespace {

class QuietProgress : public RunProgress {
public:
    void SetRange(int, int, int) override {}
    void SetPosition(int) override {}
    void SetStatusText(const std::string&) override {}
    void PumpMessages(bool) override {}
    bool IsCancelled() const override { return false; }
};

// Reads a record of a job that is not run: its messages are kept back and shown only when the
// record stops the batch, since then they are why the selected job cannot run.
BatchRecord LoadQuietly(BatchReader& reader, BatchOutputFormat indicator,
                        const BatchToolActions& actions, QuietHost& quiet, Host& host)
{
    const BatchRecord record = actions.load(reader, indicator, quiet);
    if (record == BatchRecord::Stop) {
        quiet.Replay(host);
    } else {
        quiet.Forget();
    }
    return record;
}

}  // namespace

std::unique_ptr<RunProgress> QuietHost::OpenProgress(const std::string&, ProgressOwner)
{
    return std::make_unique<QuietProgress>();
}

void QuietHost::Replay(Host& host)
{
    for (const auto& text : m_messages) host.ShowMessage(text);
    m_messages.clear();
}

BatchOutcome RunAllBatchJobs(const std::string& path, Host& host, const BatchToolActions& actions,
                             const std::function<void(long, long)>& onJob, BatchTally* tally)
{
    const auto record = [&](BatchReader& reader, BatchOutputFormat indicator) {
        const BatchRecord loaded = actions.load(reader, indicator, host);
        return loaded == BatchRecord::Run ? RecordOf(actions.run(host)) : loaded;
    };
    return ProcessBatchFile(path, host, record, onJob, tally);
}

BatchJobResult RunBatchJob(const std::string& path, long number, Host& host,
                           const BatchToolActions& actions,
                           const std::function<void(long, long)>& onJob)
{
    BatchJobResult result;
    QuietHost quiet;
    long index = 0;
    long read = 0;
    bool stopped = false;
    bool reached = false;
    const auto track = [&](long job, long count) {
        index = job;
        result.count = count;
        if (job == number && onJob) onJob(job, count);
    };
    const auto record = [&](BatchReader& reader, BatchOutputFormat indicator) {
        ++read;
        if (index < number) {
            const BatchRecord loaded = LoadQuietly(reader, indicator, actions, quiet, host);
            if (loaded == BatchRecord::Run) actions.countRun(quiet);
            quiet.Forget();
            stopped = loaded == BatchRecord::Stop;
            return loaded;
        }
        // The selected job: read and run exactly as the batch would, then read no further.
        reached = true;
        const BatchRecord loaded = actions.load(reader, indicator, host);
        stopped = loaded == BatchRecord::Stop;
        if (loaded == BatchRecord::Run) {
            result.run = actions.run(host);
            result.ran = true;
        }
        return BatchRecord::Stop;
    };
    const BatchOutcome outcome = ProcessBatchFile(path, host, record, track);
    result.batch = reached && !stopped ? BatchOutcome::Completed : BatchOutcome::Stopped;
    // Every announced job read, and none was the selected one: the file is shorter. (A stop on
    // the way has shown its own message.)
    const bool fileEnded =
        !stopped && read == result.count && (read > 0 || outcome == BatchOutcome::Completed);
    if (!reached && fileEnded) {
        host.ShowMessage("The batch file has no job " + std::to_string(number) + " (it lists " +
                         std::to_string(result.count) + ").");
    }
    return result;
}

BatchOutcome ListBatchJobs(const std::string& path, Host& host, const BatchToolActions& actions,
                           std::vector<BatchJobEntry>& jobs, long& count, long lastJob)
{
    QuietHost quiet;
    jobs.clear();
    count = 0;
    bool stopped = false;
    const auto track = [&](long, long announced) { count = announced; };
    const auto record = [&](BatchReader& reader, BatchOutputFormat indicator) {
        const BatchRecord loaded = LoadQuietly(reader, indicator, actions, quiet, host);
        stopped = loaded == BatchRecord::Stop;
        if (stopped) return loaded;
        BatchJobEntry entry;
        entry.number = static_cast<long>(jobs.size()) + 1;
        entry.skipped = loaded == BatchRecord::Skip;
        actions.describe(entry.inputs, entry.outputs);
        jobs.push_back(entry);
        // Reading no further than the last job wanted is how the rest of the file stays unread.
        return entry.number == lastJob ? BatchRecord::Stop : loaded;
    };
    // Skipped jobs are listed, not failures: the listing is complete when every job wanted was
    // read.
    const BatchOutcome outcome = ProcessBatchFile(path, host, record, track);
    const long wanted = lastJob > 0 ? std::min(lastJob, count) : count;
    const bool complete = !stopped && static_cast<long>(jobs.size()) == wanted &&
                          (count > 0 || outcome == BatchOutcome::Completed);
    return complete ? BatchOutcome::Completed : BatchOutcome::Stopped;
}

}  // namespace lumesta
