#include "tests/support/fake_host.h"

namespace lumesta::testing {

class FakeProgress : public RunProgress {
public:
    explicit FakeProgress(FakeHost& host) : m_host(host) {}
    void SetRange(int, int, int) override {}
    void SetPosition(int position) override { m_host.m_positions.push_back(position); }
    void SetStatusText(const std::string&) override {}
    void PumpMessages(bool) override { ++m_host.m_pumps; }
    bool IsCancelled() const override { return m_host.IsCancelled(); }

private:
    FakeHost& m_host;
};

bool FakeHost::AskYesNo(const std::string& question)
{
    m_questions.push_back(question);
    if (m_answers.empty()) return defaultAnswer;
    const bool answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

bool FakeHost::IsCancelled() const { return cancelAtPump > 0 && m_pumps >= cancelAtPump; }

std::unique_ptr<RunProgress> FakeHost::OpenProgress(const std::string& caption, ProgressOwner)
{
    m_captions.push_back(caption);
    return std::make_unique<FakeProgress>(*this);
}

void FakeHost::OpenInViewer(ViewerKind, const std::string& path) { m_viewed.push_back(path); }

}  // namespace lumesta::testing
