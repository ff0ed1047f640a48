#pragma once
// A host for engine tests: records messages, questions and log bytes, answers questions from a
// script, and can report a cancel from the Nth pump on.

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "core/host.h"

namespace lumesta::testing {

class FakeHost : public Host {
public:
    void ShowMessage(const std::string& text) override { m_messages.push_back(text); }
    bool AskYesNo(const std::string& question) override;
    void AppendLog(const std::string& bytes) override { m_log += bytes; }
    void PumpPendingMessages() override { ++m_pumps; }
    bool IsCancelled() const override;
    std::unique_ptr<RunProgress> OpenProgress(const std::string& caption,
                                              ProgressOwner owner) override;
    void OpenInViewer(ViewerKind kind, const std::string& path) override;
    void SetBusyCursor(bool on) override { m_busyDepth += on ? 1 : -1; }
    void WriteErrorStream(const std::string& text) override { m_errorStream += text; }

    // Answers for the next questions, in order; when none is left the answer is defaultAnswer.
    void QueueAnswers(std::initializer_list<bool> answers) { m_answers.insert(m_answers.end(), answers); }
    bool defaultAnswer = true;
    // Cancel from the Nth pump on (counting both host pumps and progress pumps); 0 = never.
    long cancelAtPump = 0;

    const std::vector<std::string>& Messages() const { return m_messages; }
    const std::vector<std::string>& Questions() const { return m_questions; }
    const std::string& Log() const { return m_log; }
    const std::string& ErrorStream() const { return m_errorStream; }
    const std::vector<std::string>& Viewed() const { return m_viewed; }
    const std::vector<std::string>& ProgressCaptions() const { return m_captions; }
    std::vector<int>& ProgressPositions() { return m_positions; }
    long Pumps() const { return m_pumps; }
    int BusyDepth() const { return m_busyDepth; }
    void ClearLog() { m_log.clear(); }
    void ClearMessages() { m_messages.clear(); }

private:
    friend class FakeProgress;
    std::vector<std::string> m_messages;
    std::vector<std::string> m_questions;
    std::deque<bool> m_answers;
    std::string m_log;
    std::string m_errorStream;
    std::vector<std::string> m_viewed;
    std::vector<std::string> m_captions;
    std::vector<int> m_positions;
    long m_pumps = 0;
    int m_busyDepth = 0;
};

}  // namespace lumesta::testing
