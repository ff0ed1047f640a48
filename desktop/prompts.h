#pragma once
// The modal boxes of the desktop program. The program shows real message boxes; the tests put
// a scripted set in their place so that nothing waits for a click.

#include <QMessageBox>
#include <QString>

namespace lumesta {

class Prompts {
public:
    virtual ~Prompts() = default;
    // A message box with an OK button and the title "Lumesta".
    virtual void Inform(QWidget* parent, const QString& text) = 0;
    // A Yes/No question with a question icon; true for Yes.
    virtual bool AskYesNo(QWidget* parent, const QString& question) = 0;
    // A Yes/No/Cancel question (unsaved log); returns Yes, No or Cancel.
    virtual QMessageBox::StandardButton AskYesNoCancel(QWidget* parent, const QString& question) = 0;
};

class MessageBoxPrompts : public Prompts {
public:
    void Inform(QWidget* parent, const QString& text) override;
    bool AskYesNo(QWidget* parent, const QString& question) override;
    QMessageBox::StandardButton AskYesNoCancel(QWidget* parent, const QString& question) override;
};

}  // namespace lumesta
