#pragma once
// The only way the engine reaches the user: message boxes, questions, the log, message pumping,
// progress displays, outside viewers and the busy cursor. The desktop program and lumesta-cli
// each provide one; the runs never know which host they serve.

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace lumesta {

// Which outside program a result is opened with (the desktop's default handler for it).
enum class ViewerKind { Picture, Text, Pdf, Web };

// Where a run's progress shows: the tool dialog's own bar, or a separate progress window
// with a caption, a status line and a Cancel button.
enum class ProgressOwner { ToolDialog, Window };

// A progress display opened by a run; destroying it closes the window.
class RunProgress {
public:
    virtual ~RunProgress() = default;
    virtual void SetRange(int low, int high, int step) = 0;
    virtual void SetPosition(int position) = 0;
    virtual void SetStatusText(const std::string& text) = 0;
    // Lets waiting user input be handled; with cancelOnEscape the Escape key cancels.
    virtual void PumpMessages(bool cancelOnEscape) = 0;
    // True once the user cancelled (Cancel button, Escape, Ctrl-C on the command line).
    virtual bool IsCancelled() const = 0;
};

// One step of a run as a progress display names it, with its rough share of the run's time.
struct RunStep {
    std::string name;
    int weight = 1;
};

class Host {
public:
    virtual ~Host() = default;
    // A message box with an OK button (the command line writes the text to standard error).
    virtual void ShowMessage(const std::string& text) = 0;
    // A Yes/No question with a question icon; true for Yes.
    virtual bool AskYesNo(const std::string& question) = 0;
    // Appends bytes at the end of the run log, exactly as given ("\r\n" included).
    virtual void AppendLog(const std::string& bytes) = 0;
    // Lets waiting window messages be handled; returns at once when there are none.
    virtual void PumpPendingMessages() = 0;
    // True once the user asked the current run to stop (checked by runs without a window).
    virtual bool IsCancelled() const = 0;
    virtual std::unique_ptr<RunProgress> OpenProgress(const std::string& caption,
                                                      ProgressOwner owner) = 0;
    // Opens a file or address in the desktop's default program; the result is ignored.
    virtual void OpenInViewer(ViewerKind kind, const std::string& pathOrAddress) = 0;
    virtual void SetBusyCursor(bool on) = 0;
    // The steps of the run that starts, in order, then the index of each as it begins (see
    // RunSteps): a display of the whole run's progress names the step going on and counts the
    // steps done. Hosts without one ignore them.
    virtual void SetRunSteps(const std::vector<RunStep>& steps) { (void)steps; }
    virtual void BeginRunStep(std::size_t index) { (void)index; }
    // Writes text as it is on the program's standard error stream, where diagnostics go that no
    // window shows; a host without such a stream drops it.
    virtual void WriteErrorStream(const std::string& text) { (void)text; }
};

// How a run ended: lumesta-cli maps these to exit statuses 0, 1 and 130.
enum class RunOutcome { Finished, Stopped, Cancelled };

}  // namespace lumesta
