#pragma once
// The host a tool dialog hands to its run: everything goes to the program's host, except that
// progress meant for the dialog drives the dialog's own progress bar.

#include <memory>
#include <string>

#include "core/host.h"

class QProgressBar;

namespace lumesta {

// Progress shown on a tool dialog's bar (or nowhere when bar is null); pumping goes through
// the program's host, and a cancel is whatever that host reports.
class DialogBarProgress : public RunProgress {
public:
    DialogBarProgress(QProgressBar* bar, Host& host) : m_bar(bar), m_host(host) {}
    void SetRange(int low, int high, int step) override;
    void SetPosition(int position) override;
    void SetStatusText(const std::string& text) override;
    void PumpMessages(bool cancelOnEscape) override;
    bool IsCancelled() const override { return m_host.IsCancelled(); }

private:
    QProgressBar* m_bar;
    Host& m_host;
};

class ToolDialogHost : public Host {
public:
    ToolDialogHost(Host& outer, QProgressBar& bar) : m_outer(outer), m_bar(bar) {}

    void ShowMessage(const std::string& text) override { m_outer.ShowMessage(text); }
    bool AskYesNo(const std::string& question) override { return m_outer.AskYesNo(question); }
    void WriteErrorStream(const std::string& text) override { m_outer.WriteErrorStream(text); }
    void AppendLog(const std::string& bytes) override { m_outer.AppendLog(bytes); }
    void PumpPendingMessages() override { m_outer.PumpPendingMessages(); }
    bool IsCancelled() const override { return m_outer.IsCancelled(); }
    // ProgressOwner::ToolDialog drives the dialog's bar; a progress window comes from the
    // program's host.
    std::unique_ptr<RunProgress> OpenProgress(const std::string& caption,
                                              ProgressOwner owner) override;
    void OpenInViewer(ViewerKind kind, const std::string& path) override
    {
        m_outer.OpenInViewer(kind, path);
    }
    void SetBusyCursor(bool on) override { m_outer.SetBusyCursor(on); }
    void SetRunSteps(const std::vector<RunStep>& steps) override { m_outer.SetRunSteps(steps); }
    void BeginRunStep(std::size_t index) override { m_outer.BeginRunStep(index); }

private:
    Host& m_outer;
    QProgressBar& m_bar;
};

}  // namespace lumesta
