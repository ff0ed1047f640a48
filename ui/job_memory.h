#pragma once
// What the desktop keeps of the tool dialogs' runs across sessions, in the profile: each
// dialog's last job, so that it reopens with the last run's inputs and choices (section
// "Remembered"), and the History of runs (section "History", the latest 200). A job is kept as
// the lumesta-cli command its option table gives it (OptionTable::CommandLine): a field the
// job record gains is kept as soon as its option has a getter.

#include <QDateTime>
#include <QList>
#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "batch/batch_jobs.h"

namespace lumesta {

// A job as lumesta-cli runs it: the tool ("pansharpen", "quality wald") and the options that
// give a fresh job its choices.
struct JobCommand {
    std::string tool;
    std::vector<std::string> arguments;

    // The dialog the job belongs to: the tool's first word ("quality" for every protocol).
    QString DialogKey() const;
    // "lumesta-cli TOOL OPTIONS" as a shell reads it.
    QString Text() const;
};

// One run of a tool dialog.
struct RunRecord {
    JobCommand command;
    QString title;  // the dialog's
    QDateTime started;
    QDateTime ended;
    QString outcome;  // "Finished", "Stopped" or "Cancelled"
};

class JobMemory {
public:
    // The last job the dialog ran (not kept after Reset), or nullopt.
    static std::optional<JobCommand> LastJob(const QString& dialogKey);
    // A run starts: its job becomes the dialog's last.
    static void RememberJob(const JobCommand& command);
    // Reset: the dialog opens with its fresh job from now on.
    static void ForgetJob(const QString& dialogKey);

    // The runs, oldest first.
    static QList<RunRecord> History();
    // A run ended: it joins the History (the oldest go beyond 200), and the listener hears of it.
    static void AddToHistory(const RunRecord& record);
    static void SetHistoryListener(std::function<void(const RunRecord&)> listener);
};

// The job a remembered command line gives: job (a fresh record) with arguments applied through
// options, quietly (an option the job no longer takes is skipped).
template <typename Job, typename Options>
Job RememberedJob(const Options& options, const std::vector<std::string>& arguments, Job job)
{
    QuietHost quiet;
    options.ApplyRemembered(job, arguments, quiet);
    return job;
}

}  // namespace lumesta
