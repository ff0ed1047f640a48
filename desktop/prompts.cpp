#include "desktop/prompts.h"

#include <QApplication>
#include <QPointer>

namespace lumesta {
namespace {

const char kBoxTitle[] = "Lumesta";

QMessageBox::StandardButton Ask(QWidget* parent, QMessageBox::Icon icon, const QString& text,
                                QMessageBox::StandardButtons buttons,
                                QMessageBox::StandardButton defaultButton)
{
    // Made on the heap: a progress window that owns the box may close while the box waits (a
    // question asked beside a run that ends meanwhile), and takes the box with it.
    QPointer<QMessageBox> box = new QMessageBox(icon, kBoxTitle, text, buttons, parent);
    // Texts are shown exactly as given: a file name with "<" in it is not markup.
    box->setTextFormat(Qt::PlainText);
    box->setDefaultButton(defaultButton);
    // Above a parent that stays on top (a run's progress window), or it would open beneath it.
    if (parent && (parent->window()->windowFlags() & Qt::WindowStaysOnTopHint))
        box->setWindowFlag(Qt::WindowStaysOnTopHint);
    // A run's busy cursor does not apply to the box that waits for the user's answer.
    const bool busy = QApplication::overrideCursor() != nullptr;
    if (busy) QApplication::setOverrideCursor(Qt::ArrowCursor);
    const int answer = box->exec();
    if (busy) QApplication::restoreOverrideCursor();
    delete box.data();
    return static_cast<QMessageBox::StandardButton>(answer);
}

}  // namespace

void MessageBoxPrompts::Inform(QWidget* parent, const QString& text)
{
    Ask(parent, QMessageBox::Warning, text, QMessageBox::Ok, QMessageBox::Ok);
}

bool MessageBoxPrompts::AskYesNo(QWidget* parent, const QString& question)
{
    return Ask(parent, QMessageBox::Question, question, QMessageBox::Yes | QMessageBox::No,
               QMessageBox::Yes) == QMessageBox::Yes;
}

QMessageBox::StandardButton MessageBoxPrompts::AskYesNoCancel(QWidget* parent,
                                                              const QString& question)
{
    return Ask(parent, QMessageBox::Warning, question,
               QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
}

}  // namespace lumesta
