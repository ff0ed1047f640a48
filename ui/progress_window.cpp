#include "ui/progress_window.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSettings>

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

    LayoutControls(m_textLines, kDefaultWidth);
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
    m_bar->setRange(low, high);
}

void CProgressWindow::SetPosition(int position)
{
    m_bar->setValue(position);
}

void CProgressWindow::SetStatusText(const std::string& text)
{
    if (m_destroyed) return;
    m_status->setText(QString::fromUtf8(text.c_str(), static_cast<int>(text.size())));
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
