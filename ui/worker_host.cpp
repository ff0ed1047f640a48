#include "ui/worker_host.h"

#include <QMetaObject>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <cctype>
#include <vector>

#include "ui/progress_window.h"
#include "ui/text.h"

namespace lumesta {
namespace {

// Progress of a run on the worker thread, shown by displays that live on the user-interface
// thread. Changes are posted in order; the displays are deleted there, after the last change.
class PostedProgress : public RunProgress {
public:
    PostedProgress(WorkerHost& host, QObject& context, std::vector<RunProgress*> displays,
                   const std::atomic<bool>& cancelled)
        : m_host(host), m_context(context), m_displays(std::move(displays)), m_cancelled(cancelled)
    {
    }
    ~PostedProgress() override
    {
        Post([displays = m_displays] {
            for (RunProgress* display : displays) delete display;
        });
    }
    PostedProgress(const PostedProgress&) = delete;
    PostedProgress& operator=(const PostedProgress&) = delete;

    void SetRange(int low, int high, int step) override
    {
        Post([low, high, step, displays = m_displays] {
            for (RunProgress* display : displays) display->SetRange(low, high, step);
        });
    }
    // Some runs set the position per pixel: only a change is posted.
    void SetPosition(int position) override
    {
        if (m_posted && position == m_position) return;
        m_posted = true;
        m_position = position;
        Post([position, displays = m_displays] {
            for (RunProgress* display : displays) display->SetPosition(position);
        });
    }
    void SetStatusText(const std::string& text) override
    {
        Post([text, displays = m_displays] {
            for (RunProgress* display : displays) display->SetStatusText(text);
        });
    }
    void PumpMessages(bool cancelOnEscape) override
    {
        m_host.Pump(m_displays.front(), cancelOnEscape);
    }
    bool IsCancelled() const override { return m_cancelled.load(); }

private:
    void Post(std::function<void()> act)
    {
        QMetaObject::invokeMethod(&m_context, std::move(act), Qt::QueuedConnection);
    }

    WorkerHost& m_host;
    QObject& m_context;
    std::vector<RunProgress*> m_displays;
    const std::atomic<bool>& m_cancelled;
    bool m_posted = false;
    int m_position = 0;
};

// The last line of a log append that names something (not only dots or spaces), trimmed.
std::string LastStep(const std::string& bytes)
{
    std::size_t end = bytes.size();
    while (end > 0) {
        const std::size_t start = bytes.find_last_of("\r\n", end - 1);
        const std::size_t from = start == std::string::npos ? 0 : start + 1;
        const std::string line = bytes.substr(from, end - from);
        for (char c : line) {
            if (std::isalpha(static_cast<unsigned char>(c))) {
                const std::size_t first = line.find_first_not_of(" \t");
                return line.substr(first);
            }
        }
        if (start == std::string::npos) break;
        end = start;
    }
    return std::string();
}

}  // namespace

WorkerHost::WorkerHost(Host& gui, QObject& context, QWidget* window, QString caption,
                       std::atomic<bool>& cancelled)
    : m_gui(gui),
      m_context(context),
      m_window(window),
      m_caption(std::move(caption)),
      m_cancelled(cancelled),
      m_pumpTimer(std::make_unique<QTimer>())
{
    constexpr int kPumpIntervalMs = 25;
    m_pumpTimer->setInterval(kPumpIntervalMs);
    QObject::connect(m_pumpTimer.get(), &QTimer::timeout,
                     [this] { m_pumpDue.store(true, std::memory_order_relaxed); });
    m_pumpTimer->start();
}

WorkerHost::~WorkerHost() = default;

void WorkerHost::OnGui(const std::function<void()>& act)
{
    const bool refresh = m_questionAnswered && m_afterQuestion;
    m_questionAnswered = false;
    const auto both = [&] {
        if (refresh) m_afterQuestion();
        act();
    };
    if (QThread::currentThread() == m_context.thread()) {
        both();
        return;
    }
    QMetaObject::invokeMethod(&m_context, both, Qt::BlockingQueuedConnection);
}

void WorkerHost::Post(std::function<void()> act)
{
    if ((m_questionAnswered && m_afterQuestion) || QThread::currentThread() == m_context.thread()) {
        OnGui(act);
        return;
    }
    QMetaObject::invokeMethod(&m_context, std::move(act), Qt::QueuedConnection);
}

void WorkerHost::ShowMessage(const std::string& text)
{
    OnGui([&] { m_gui.ShowMessage(text); });
}

bool WorkerHost::AskYesNo(const std::string& question)
{
    bool answer = false;
    OnGui([&] { answer = m_gui.AskYesNo(question); });
    m_questionAnswered = true;
    return answer;
}

void WorkerHost::AppendLog(const std::string& bytes)
{
    Post([this, bytes] {
        m_gui.AppendLog(bytes);
        auto* window = dynamic_cast<CProgressWindow*>(m_barWindow.data());
        const std::string step = LastStep(bytes);
        if (window && !step.empty()) window->SetStatusText(step);
    });
}

std::unique_ptr<RunProgress> WorkerHost::OpenProgress(const std::string& caption,
                                                      ProgressOwner owner)
{
    std::vector<RunProgress*> displays;
    OnGui([&] {
        displays.push_back(m_gui.OpenProgress(caption, owner).release());
        CProgressWindow* window = dynamic_cast<CProgressWindow*>(displays.front());
        if (!window && owner == ProgressOwner::ToolDialog) {
            window = new CProgressWindow(m_window, m_caption, true);
            displays.push_back(window);
            m_barWindow = window;
        }
        if (window) window->SetOnCancel([flag = &m_cancelled] { flag->store(true); });
    });
    return std::make_unique<PostedProgress>(*this, m_context, std::move(displays), m_cancelled);
}

void WorkerHost::PumpPendingMessages()
{
    Pump(nullptr, false);
}

void WorkerHost::PassOnPump(RunProgress* display, bool cancelOnEscape)
{
    m_pumpDue.store(false, std::memory_order_relaxed);
    // The first pump waits, so that a cancel the host already reports stops the run before its
    // work; so does one whose question refresh is due.
    const bool first = !m_pumpedOnce.exchange(true);
    if (first || (m_questionAnswered && m_afterQuestion) ||
        QThread::currentThread() == m_context.thread()) {
        OnGui([&] {
            if (display) {
                display->PumpMessages(cancelOnEscape);
            } else {
                m_gui.PumpPendingMessages();
            }
            if ((display && display->IsCancelled()) || m_gui.IsCancelled()) m_cancelled.store(true);
        });
        return;
    }
    // Without waiting: the display's own pump would handle events inside this call, where the
    // display's deletion (posted by the run after this) could be handled too, so the display is
    // only asked for its cancel, before the host's pump. The user-interface thread's own loop
    // handles the events meanwhile, Escape and the progress window's Cancel included.
    Post([this, display] {
        const bool displayCancelled = display && display->IsCancelled();
        m_gui.PumpPendingMessages();
        if (displayCancelled || m_gui.IsCancelled()) m_cancelled.store(true);
    });
}

void WorkerHost::OpenInViewer(ViewerKind kind, const std::string& pathOrAddress)
{
    OnGui([&] { m_gui.OpenInViewer(kind, pathOrAddress); });
}

void WorkerHost::SetBusyCursor(bool on)
{
    Post([this, on] { m_gui.SetBusyCursor(on); });
}

}  // namespace lumesta
