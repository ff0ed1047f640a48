#include "ui/progress_window.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTimer>
#include <algorithm>

namespace lumesta {
namespace {

const char kDefaultCaption[] = "Progress";
const char kCancelLabel[] = "Cancel";
const char kProfileX[] = "Settings/X";
const char kProfileY[] = "Settings/Y";
constexpr int kMargin = 8;
constexpr int kDefaultWidth = 270;
// The 3-D edge of the desktop's controls, in pixels, as the layout measures it.
constexpr int kEdgeX = 2;
constexpr int kEdgeY = 2;
// Some runs pump per pixel: events are processed on the first pump, when the bar moved, or
// after this many milliseconds.
constexpr qint64 kPumpIntervalMs = 25;
// The title bar's buttons and icon beside the caption, and the width of a window showing steps.
constexpr int kTitleAllowance = 110;
constexpr int kStepsWidth = 360;
constexpr int kClockTickMs = 1000;

QWidget* MainWindowOrNull()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<QMainWindow*>(widget)) return widget;
    }
    return nullptr;
}

}  // namespace

CProgressWindow::CProgressWindow(QWidget* parent, const QString& caption, bool smooth)
    : QWidget(parent ? parent : MainWindowOrNull(),
              Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowTitle(caption.isEmpty() ? QString(kDefaultCaption) : caption);
    setCursor(Qt::BusyCursor);
    setAutoFillBackground(true);
    setFont(QApplication::font("QMessageBox"));

    m_status = new QLabel(this);
    m_status->setTextFormat(Qt::PlainText);
    m_status->setWordWrap(false);
    m_status->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_bar = new QProgressBar(this);
    m_bar->setTextVisible(true);
    m_bar->setFormat("%p%");
    // A smooth bar shows a plain fill; the segmented one shows its steps as chunks.
    m_bar->setProperty("smooth", smooth);
    m_cancel = new QPushButton(QString(kCancelLabel), this);
    m_cancel->setFocusPolicy(Qt::TabFocus);
    connect(m_cancel, &QPushButton::clicked, this, [this] { OnCancel(); });

    const QFontMetrics titleMetrics(QApplication::font("QMdiSubWindowTitleBar"));
    LayoutControls(m_textLines,
                   std::max(kDefaultWidth, titleMetrics.horizontalAdvance(windowTitle()) +
                                               kTitleAllowance - 2 * kMargin));
    RestoreWindowPosition();
    show();
    repaint();
}

CProgressWindow::~CProgressWindow()
{
    DestroyWindow();
}

CProgressWindow* CProgressWindow::Showing()
{
    CProgressWindow* showing = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* window = dynamic_cast<CProgressWindow*>(widget);
        if (window && window->isVisible() && !window->m_destroyed) showing = window;
    }
    return showing;
}

void CProgressWindow::SetRange(int low, int high, int /*step*/)
{
    m_low = low;
    m_high = high;
    if (m_steps.empty()) m_bar->setRange(low, high);
}

void CProgressWindow::SetPosition(int position)
{
    if (m_steps.empty()) {
        m_bar->setValue(position);
        return;
    }
    const double done = m_high > m_low ? double(position - m_low) / double(m_high - m_low) : 0.0;
    m_stepDone = std::clamp(done, 0.0, 1.0);
    ShowOverall();
}

void CProgressWindow::SetStatusText(const std::string& text)
{
    if (m_destroyed || !m_steps.empty()) return;
    m_status->setText(QString::fromUtf8(text.c_str(), static_cast<int>(text.size())));
}

void CProgressWindow::ShowSteps(const std::vector<RunStep>& steps, std::size_t current,
                                const QElapsedTimer& runClock)
{
    if (steps.empty() || m_destroyed) return;
    const bool first = m_steps.empty();
    m_steps = steps;
    m_runClock = runClock;
    m_bar->setRange(0, 100);
    if (first) {
        m_textLines = 2;
        LayoutControls(m_textLines, std::max(width() - 2 * kMargin, kStepsWidth));
        auto* clock = new QTimer(this);
        connect(clock, &QTimer::timeout, this, [this] { ShowOverall(); });
        clock->start(kClockTickMs);
    }
    BeginStep(current);
}

void CProgressWindow::BeginStep(std::size_t index)
{
    m_step = std::min(index, m_steps.empty() ? std::size_t{0} : m_steps.size() - 1);
    m_stepDone = 0;
    ShowOverall();
}

void CProgressWindow::ShowOverall()
{
    if (m_steps.empty() || m_destroyed) return;
    double total = 0;
    double done = 0;
    for (std::size_t i = 0; i < m_steps.size(); ++i) {
        const double weight = std::max(m_steps[i].weight, 1);
        total += weight;
        if (i < m_step) done += weight;
        if (i == m_step) done += weight * m_stepDone;
    }
    const double overall = done / total;
    m_bar->setValue(static_cast<int>(overall * 100));
    m_status->setText(
        QString("Step %1 of %2: %3\n%4")
            .arg(m_step + 1)
            .arg(m_steps.size())
            .arg(QString::fromStdString(m_steps[m_step].name))
            .arg(TimeLeftText(overall, m_runClock.isValid() ? m_runClock.elapsed() : 0)));
}

QString CProgressWindow::TimeLeftText(double overall, qint64 elapsedMs)
{
    constexpr qint64 kSettleMs = 2000;
    constexpr double kSettleShare = 0.02;
    if (elapsedMs < kSettleMs || overall < kSettleShare) return "Estimating the time left ...";
    const qint64 left = static_cast<qint64>(elapsedMs / 1000.0 * (1 - overall) / overall + 0.5);
    if (left < 10) return "A few seconds left";
    if (left < 60) return QString("About %1 s left").arg((left + 4) / 5 * 5);
    const qint64 minutes = (left + 59) / 60;
    if (minutes < 60) return QString("About %1 min left").arg(minutes);
    return QString("About %1 h %2 min left").arg(minutes / 60).arg(minutes % 60);
}

void CProgressWindow::PumpMessages(bool cancelOnEscape)
{
    if (m_cancelled) return;
    const int position = m_bar->value();
    if (m_pumpedOnce && position == m_pumpedPosition && m_sincePump.elapsed() < kPumpIntervalMs) {
        return;
    }
    m_pumpedOnce = true;
    m_pumpedPosition = position;
    m_sincePump.restart();

    m_escapeCancels = cancelOnEscape;
    qApp->installEventFilter(this);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    qApp->removeEventFilter(this);
    m_escapeCancels = false;
}

// While a pump that cancels on Escape runs, the key cancels whichever window it was meant for.
bool CProgressWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (m_escapeCancels && !m_cancelled && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        OnCancel();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void CProgressWindow::OnCancel()
{
    m_cancelled.store(true);
    if (m_onCancel) m_onCancel();
    hide();
    if (QWidget* mainWindow = MainWindowOrNull()) {
        mainWindow->raise();
        mainWindow->activateWindow();
    }
}

void CProgressWindow::DestroyWindow()
{
    if (m_destroyed) return;
    SaveWindowPosition();
    m_destroyed = true;
    hide();
}

void CProgressWindow::LayoutControls(int textLines, int width)
{
    const QFontMetrics metrics(font());
    QString sample = "M";
    for (int line = 1; line < textLines; ++line) sample += "\nM";
    const QRect measured = metrics.boundingRect(
        QRect(kMargin, kMargin, width - 2 * kMargin - kMargin, 116 - kMargin),
        Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, sample);
    const int textLeft = kMargin;
    const int textTop = kMargin;
    const int textRight = textLeft + width;
    const int textBottom = textTop + measured.height();

    const int buttonWidth = metrics.horizontalAdvance(QString(kCancelLabel) + "  ") + 4 * kEdgeX;
    const int buttonHeight = metrics.height() + 3 * kEdgeY;
    const int buttonLeft = textRight - buttonWidth;
    const int buttonTop = textBottom + kMargin;
    const int buttonBottom = buttonTop + buttonHeight;

    const int barLeft = textLeft;
    const int barTop = buttonTop + kEdgeY;
    const int barRight = buttonLeft - kMargin;
    const int barBottom = buttonBottom - kEdgeY;

    setFixedSize(width + 2 * kMargin, (textBottom - textTop) + buttonHeight + 3 * kMargin);
    m_bar->setGeometry(barLeft, barTop, barRight - barLeft, barBottom - barTop);
    m_cancel->setGeometry(buttonLeft, buttonTop, buttonWidth, buttonHeight);
    m_status->setGeometry(textLeft, textTop, textRight - textLeft, textBottom - textTop);
}

void CProgressWindow::RestoreWindowPosition()
{
    QSettings profile;
    const int x = profile.value(kProfileX, -1).toInt();
    const int y = profile.value(kProfileY, -1).toInt();
    QWidget* owner = parentWidget();
    QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
    const QSize screenSize = screen ? screen->geometry().size() : QSize();
    if (x >= 0 && x < screenSize.width() && y >= 0 && y < screenSize.height()) {
        move(x, y);
        return;
    }
    const QRect around = owner ? owner->frameGeometry()
                               : (screen ? screen->geometry() : QRect(QPoint(0, 0), size()));
    move(around.center() - QPoint(width() / 2, height() / 2));
}

// Writes the profile only when the place changed: a write waits for the disk (the profile's
// lock file is synced), and the disk is at its busiest right after a run wrote its outputs.
void CProgressWindow::SaveWindowPosition()
{
    if (m_destroyed) return;
    QSettings profile;
    if (profile.value(kProfileX, -1).toInt() == x() && profile.value(kProfileY, -1).toInt() == y()) {
        return;
    }
    profile.setValue(kProfileX, x());
    profile.setValue(kProfileY, y());
}

}  // namespace lumesta
