#pragma once
// Small pieces the tool dialogs build their windows from: the "..." buttons, integer fields
// typed as plain decimal text, and showing a job value in a field.

#include <QString>
#include <vector>

class QHBoxLayout;
class QLineEdit;
class QPushButton;
class QWidget;

namespace lumesta {

class Host;

// A narrow "..." button that does not act as the dialog's default button.
QPushButton* MakeBrowseButton(QWidget* parent);

// A field for an integer from low to high, typed in decimal without group separators, wide
// enough for digits characters.
QLineEdit* MakeIntegerField(int low, int high, int digits, QWidget* parent);

// The "Width" and "Height" labels with their fields (integers 0 to 999999999) on one line, for
// an image size the user may type. The fields are returned in width and height.
QHBoxLayout* MakeSizeRow(QWidget* parent, QLineEdit*& width, QLineEdit*& height);

// Shows text in field; an unchanged text keeps its cursor and selection.
void ShowText(QLineEdit* field, const QString& text);

// The value of an integer field; 0 while it holds no whole number.
int IntegerIn(const QLineEdit* field);

// True when every field holds a whole number of its range. Otherwise shows "Please enter an
// integer." for the first that does not, gives it the focus with its text selected, and
// returns false.
bool CheckIntegerFields(const std::vector<QLineEdit*>& fields, Host& host);

}  // namespace lumesta
