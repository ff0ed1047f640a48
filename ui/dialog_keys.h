#pragma once
// Keyboard and drop handling every tool dialog shares: Tab in the order the controls are seen,
// Alt shortcuts on every label and button text, and files dropped on a path field.

#include <QString>
#include <functional>

class QLineEdit;
class QWidget;

namespace lumesta {

// Orders Tab through window's focusable controls top-to-bottom, then left-to-right (controls
// whose middles are within a few pixels of each other form one row), and gives the first one
// the focus.
void OrderTabsByPosition(QWidget& window);

// Gives every label, check box, radio button and text button of window an Alt shortcut: a
// letter not yet taken, the first letter of a word where one is free. A label without a buddy
// gets the control that follows it in the Tab order. Texts that already have one keep it.
void AssignMnemonics(QWidget& window);

// The tooltip of control: what it does, and the lumesta-cli option that does the same.
void SetTip(QWidget* control, const QString& what, const QString& option);

// Tooltips for a dialog's OK and Cancel buttons (and any other button of its button box):
// OK runs the job as "lumesta-cli command" would.
void SetButtonTips(QWidget& window, const QString& command);

// Lets field take one dropped local file: take gets its path, as the field's "..." would.
void AcceptFileDrops(QWidget& field, std::function<void(const QString&)> take);

// A path the user may type or paste: Enter (which then does not press OK) or leaving the field
// after an edit hands its text to take, as choosing that file with "..." would; so does a drop.
void BindPathField(QLineEdit& field, std::function<void(const QString&)> take);

}  // namespace lumesta
