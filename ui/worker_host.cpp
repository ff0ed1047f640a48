#include "ui/worker_host.h"

#include <QMetaObject>
#include <QThread>
#include <QTimer>
#include <QWidget>
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

// The run's progress window as a further display of the run: it forwards without owning it.
class SharedWindow : public RunProgress {
public:
    explicit SharedWindow(CProgressWindow& window) : m_window(&window) {}
    void SetRange(int low, int high, int step) override
    {
        if (m_window) m_window->SetRange(low, high, step);
    }
    void SetPosition(int position) override
    {
        if (m_window) m_window->SetPosition(position);
    }
    void SetStatusText(const std::string& text) override
    {
        if (m_window) m_window->SetStatusText(text);
    }
    void PumpMessages(bool cancelOnEscape) override
    {
        if (m_window) m_window->PumpMessages(cancelOnEscape);
    }
    bool IsCancelled() const override { return m_window && m_window->IsCancelled(); }

private:
    QPointer<CProgressWindow> m_window;
};

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
    m_runClock.start();
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
    Post([this, bytes] { m_gui.AppendLog(bytes); });
}

std::unique_ptr<RunProgress> WorkerHost::OpenProgress(const std::string& caption,
                                                      ProgressOwner owner)
{
    std::vector<RunProgress*> displays;
    OnGui([&] {
        const bool windowShows = m_runWindow && m_runWindow->isVisible();
        if (owner == ProgressOwner::Window && windowShows) {
            displays.push_back(new SharedWindow(*m_runWindow));
            return;
        }
        displays.push_back(m_gui.OpenProgress(caption, owner).release());
        if (auto* window = dynamic_cast<CProgressWindow*>(displays.front())) {
            AdoptRunWindow(window);
        } else if (owner == ProgressOwner::ToolDialog && windowShows) {
            displays.push_back(new SharedWindow(*m_runWindow));
        } else if (owner == ProgressOwner::ToolDialog) {
            auto* beside = new CProgressWindow(m_window, m_caption, true);
            displays.push_back(beside);
            AdoptRunWindow(beside);
        }
    });
    return std::make_unique<PostedProgress>(*this, m_context, std::move(displays), m_cancelled);
}

void WorkerHost::AdoptRunWindow(CProgressWindow* window)
{
    m_runWindow = window;
    window->SetOnCancel([flag = &m_cancelled] { flag->store(true); });
    if (!m_steps.empty()) window->ShowSteps(m_steps, m_step, m_runClock);
}

void WorkerHost::SetRunSteps(const std::vector<RunStep>& steps)
{
    // The clock starts with the steps: not with the questions asked before them.
    Post([this, steps] {
        m_steps = steps;
        m_step = 0;
        m_runClock.restart();
        if (m_runWindow) m_runWindow->ShowSteps(m_steps, m_step, m_runClock);
    });
}

void WorkerHost::BeginRunStep(std::size_t index)
{
    Post([this, index] {
        m_step = index;
        if (m_runWindow) m_runWindow->BeginStep(index);
    });
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
