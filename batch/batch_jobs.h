#pragma once
// One job of a batch file on its own: running only job N exactly as the whole batch would run
// it (for cluster array tasks), and listing every job's inputs and outputs without running.

#include <functional>
#include <string>
#include <vector>

#include "batch/batch_file.h"
#include "core/host.h"

namespace lumesta {

// What a tool does with the job records of its batch files. load reads one record into the
// tool's job record (Run: the job would run; Skip; Stop after a message, through the host it
// is given); the others act on the job just loaded.
struct BatchToolActions {
    std::function<BatchRecord(BatchReader& reader, BatchOutputFormat indicator, Host& host)> load;
    // The loaded job's inputs and outputs, in the order of the record.
    std::function<void(std::vector<std::string>& inputs, std::vector<std::string>& outputs)>
        describe;
    // Counts the loaded job as the batch's run would: when it would open a report block, the
    // tool's run counter goes up by one (its checks hear only the quiet host they are given).
    std::function<void(Host& quiet)> countRun;
    std::function<RunOutcome(Host& host)> run;
};

// One job as a listing shows it.
struct BatchJobEntry {
    long number = 0;  // 1-based position in the file
    std::vector<std::string> inputs;
    std::vector<std::string> outputs;
    bool skipped = false;  // a header cannot be read: the batch skips this job
};

// What came of running one job of a batch file.
struct BatchJobResult {
    BatchOutcome batch = BatchOutcome::Completed;  // Stopped: the file stops before this job runs
    RunOutcome run = RunOutcome::Stopped;          // the job's run, when it ran
    long count = 0;                                // the jobs the file announces
    bool ran = false;
};

// Runs every job of the batch file with the host's messages and log: each record is loaded and
// run, or skipped; a stop ends the batch with its message, a cancelled run starts no further
// job. tally (may be null) counts the jobs that finished and stopped.
BatchOutcome RunAllBatchJobs(const std::string& path, Host& host, const BatchToolActions& actions,
                             const std::function<void(long, long)>& onJob = {},
                             BatchTally* tally = nullptr);

// Runs only job `number` (1-based) of the batch file: the records before it are read and
// counted silently (a stop among them stops here too, with its message), so the job's report
// block carries the numbering it has in the whole batch; nothing after it is read. onJob (may
// be empty) hears of the job before it is read. Message when the file lists fewer jobs: "The
// batch file lists only N jobs."
BatchJobResult RunBatchJob(const std::string& path, long number, Host& host,
                           const BatchToolActions& actions,
                           const std::function<void(long, long)>& onJob = {});

// Lists the jobs of the batch file without running any, up to job lastJob (0: every job); a
// stop shows its message and ends the list (Stopped). Header readers stay silent: a job whose
// header cannot be read is marked.
BatchOutcome ListBatchJobs(const std::string& path, Host& host, const BatchToolActions& actions,
                           std::vector<BatchJobEntry>& jobs, long& count, long lastJob = 0);

// A host that shows nothing: it keeps the messages, answers No and drops log bytes. The jobs
// before a selected one are read through it.
class QuietHost : public Host {
public:
    void ShowMessage(const std::string& text) override { m_messages.push_back(text); }
    bool AskYesNo(const std::string&) override { return false; }
    void AppendLog(const std::string&) override {}
    void PumpPendingMessages() override {}
    bool IsCancelled() const override { return false; }
    std::unique_ptr<RunProgress> OpenProgress(const std::string& caption,
                                              ProgressOwner owner) override;
    void OpenInViewer(ViewerKind, const std::string&) override {}
    void SetBusyCursor(bool) override {}

    // Shows the messages kept so far through another host, and forgets them.
    void Replay(Host& host);
    void Forget() { m_messages.clear(); }

private:
    std::vector<std::string> m_messages;
};

}  // namespace lumesta
