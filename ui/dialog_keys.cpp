#include "ui/dialog_keys.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSet>
#include <QUrl>
#include <QWidget>
#include <algorithm>
#include <vector>

namespace lumesta {
namespace {

constexpr int kRowTolerance = 10;

QPoint Middle(const QWidget* widget, const QWidget& window)
{
    return widget->mapTo(&window, widget->rect().center());
}

bool TakesFocus(const QWidget* widget)
{
    return widget->isVisibleTo(widget->window()) && (widget->focusPolicy() & Qt::TabFocus) &&
           !widget->focusProxy();
}

// The letters already used as shortcuts in window.
QSet<QChar> TakenLetters(const QList<QWidget*>& widgets)
{
    QSet<QChar> taken;
    for (const QWidget* widget : widgets) {
        QString text;
        if (auto* label = qobject_cast<const QLabel*>(widget)) text = label->text();
        if (auto* button = qobject_cast<const QAbstractButton*>(widget)) text = button->text();
        const int at = text.indexOf('&');
        if (at >= 0 && at + 1 < text.size() && text[at + 1] != '&') {
            taken.insert(text[at + 1].toLower());
        }
    }
    return taken;
}

// text with '&' before a free letter (a word's first letter preferred); unchanged when it has
// one already or no letter is free.
QString WithMnemonic(const QString& text, QSet<QChar>& taken)
{
    if (text.contains('&')) return text;
    int chosen = -1;
    for (int i = 0; i < text.size() && chosen < 0; ++i) {
        const bool wordStart = i == 0 || !text[i - 1].isLetterOrNumber();
        if (wordStart && text[i].isLetter() && !taken.contains(text[i].toLower())) chosen = i;
    }
    for (int i = 0; i < text.size() && chosen < 0; ++i) {
        if (text[i].isLetter() && text[i].unicode() < 128 && !taken.contains(text[i].toLower())) {
            chosen = i;
        }
    }
    if (chosen < 0) return text;
    taken.insert(text[chosen].toLower());
    return text.left(chosen) + '&' + text.mid(chosen);
}

// The focusable control nearest after label: on its row to its right, else the first below.
QWidget* FollowingControl(const QLabel* label, const std::vector<QWidget*>& ordered,
                          const QWidget& window)
{
    const QPoint at = Middle(label, window);
    for (QWidget* widget : ordered) {
        const QPoint middle = Middle(widget, window);
        const bool sameRow = std::abs(middle.y() - at.y()) <= kRowTolerance;
        if ((sameRow && middle.x() > at.x()) || middle.y() - at.y() > kRowTolerance) return widget;
    }
    return nullptr;
}

std::vector<QWidget*> FocusableByPosition(QWidget& window)
{
    std::vector<QWidget*> controls;
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        // Pop-ups (a list's drop-down) are windows of their own.
        if (widget->window() == &window && TakesFocus(widget)) controls.push_back(widget);
    }
    std::stable_sort(controls.begin(), controls.end(), [&window](QWidget* a, QWidget* b) {
        const QPoint pa = Middle(a, window);
        const QPoint pb = Middle(b, window);
        if (std::abs(pa.y() - pb.y()) > kRowTolerance) return pa.y() < pb.y();
        return pa.x() < pb.x();
    });
    return controls;
}

class FileDropFilter : public QObject {
public:
    FileDropFilter(QWidget& field, std::function<void(const QString&)> take)
        : QObject(&field), m_take(std::move(take))
    {
    }

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override
    {
        if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
            auto* drag = static_cast<QDropEvent*>(event);
            if (!DroppedFile(drag->mimeData()).isEmpty()) drag->acceptProposedAction();
            return true;
        }
        if (event->type() == QEvent::Drop) {
            auto* drop = static_cast<QDropEvent*>(event);
            const QString path = DroppedFile(drop->mimeData());
            if (path.isEmpty()) return true;
            drop->acceptProposedAction();
            m_take(path);
            return true;
        }
        return false;
    }

private:
    static QString DroppedFile(const QMimeData* data)
    {
        if (!data || !data->hasUrls() || data->urls().size() != 1) return QString();
        const QUrl url = data->urls().first();
        return url.isLocalFile() ? url.toLocalFile() : QString();
    }

    std::function<void(const QString&)> m_take;
};

class PathFieldFilter : public QObject {
public:
    PathFieldFilter(QLineEdit& field, std::function<void(const QString&)> take)
        : QObject(&field), m_field(field), m_take(std::move(take))
    {
    }

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key != Qt::Key_Return && key != Qt::Key_Enter) return false;
            Take();
            return true;
        }
        if (event->type() == QEvent::FocusOut && m_field.isModified()) Take();
        return false;
    }

private:
    void Take()
    {
        m_field.setModified(false);
        m_take(m_field.text());
    }

    QLineEdit& m_field;
    std::function<void(const QString&)> m_take;
};

}  // namespace

void BindPathField(QLineEdit& field, std::function<void(const QString&)> take)
{
    field.installEventFilter(new PathFieldFilter(field, take));
    AcceptFileDrops(field, std::move(take));
}

void SetTip(QWidget* control, const QString& what, const QString& option)
{
    control->setToolTip(what + "\nlumesta-cli: " + option);
}

void SetButtonTips(QWidget& window, const QString& command)
{
    for (QDialogButtonBox* box : window.findChildren<QDialogButtonBox*>()) {
        if (QPushButton* ok = box->button(QDialogButtonBox::Ok)) {
            SetTip(ok, "Runs the job with these settings", command);
        }
        if (QPushButton* cancel = box->button(QDialogButtonBox::Cancel)) {
            SetTip(cancel, "Closes the window without running; during a run Escape cancels it",
                   "Ctrl-C cancels a run");
        }
        if (QPushButton* reset = box->button(QDialogButtonBox::Reset)) {
            SetTip(reset,
                   "Clears every field and choice: the window no longer reopens with the last "
                   "run's",
                   "each command starts from the defaults");
        }
    }
}

void OrderTabsByPosition(QWidget& window)
{
    const std::vector<QWidget*> controls = FocusableByPosition(window);
    for (std::size_t i = 1; i < controls.size(); ++i) {
        QWidget::setTabOrder(controls[i - 1], controls[i]);
    }
    if (!controls.empty()) controls.front()->setFocus(Qt::TabFocusReason);
}

void AssignMnemonics(QWidget& window)
{
    const QList<QWidget*> widgets = window.findChildren<QWidget*>();
    QSet<QChar> taken = TakenLetters(widgets);
    const std::vector<QWidget*> ordered = FocusableByPosition(window);
    // Labels first: they have no other way to reach their control.
    for (QWidget* widget : widgets) {
        auto* label = qobject_cast<QLabel*>(widget);
        if (!label || label->text().isEmpty() || label->textFormat() == Qt::RichText) continue;
        if (!label->buddy()) label->setBuddy(FollowingControl(label, ordered, window));
        if (label->buddy()) label->setText(WithMnemonic(label->text(), taken));
    }
    for (QWidget* widget : ordered) {
        auto* button = qobject_cast<QAbstractButton*>(widget);
        if (button && !button->text().isEmpty())
            button->setText(WithMnemonic(button->text(), taken));
    }
}

void AcceptFileDrops(QWidget& field, std::function<void(const QString&)> take)
{
    field.setAcceptDrops(true);
    field.installEventFilter(new FileDropFilter(field, std::move(take)));
}

}  // namespace lumesta
