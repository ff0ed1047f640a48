#pragma once
// Small pieces the tool dialogs build their windows from: the "..." and ">>" buttons, the file
// lists with their rows, integer fields typed as plain decimal text, OK and Cancel below a fixed
// column, and showing a job value in a field or list.

#include <QString>
#include <initializer_list>
#include <string>
#include <vector>

class QComboBox;
class QDialog;
class QDialogButtonBox;
class QGridLayout;
class QHBoxLayout;
class QLineEdit;
class QPushButton;
class QVBoxLayout;
class QWidget;

namespace lumesta {

class Host;
class ToolDialog;

// A narrow "..." button that does not act as the dialog's default button.
QPushButton* MakeBrowseButton(QWidget* parent);

// The narrow ">>" button that opens the stretch dialog; not the dialog's default button.
QPushButton* MakeStretchButton(QWidget* parent);

// A drop-down list of file entries, wide enough for minimumLength characters.
QComboBox* MakeFileList(int minimumLength, QWidget* parent);

// One row of a band grid: label (the list's buddy) in column 0, a file list in column 1 and its
// "..." button in column 2, made in the order list, button, label.
struct BandRow {
    QComboBox* list = nullptr;
    QPushButton* browse = nullptr;
};
BandRow AddBandRow(QGridLayout& grid, int row, const QString& label, int minimumLength,
                   QWidget* parent);

// OK and Cancel for dialog, acting as its accept() and reject().
QDialogButtonBox* MakeOkCancelButtons(QDialog* dialog);
// OK, Cancel and "Reset" (ToolDialog::OnReset) for a tool dialog.
QDialogButtonBox* MakeToolButtons(ToolDialog* dialog);

// Lays dialog out as parts from top to bottom at a fixed size; returns the column.
QVBoxLayout* LayOutColumn(QDialog* dialog, std::initializer_list<QWidget*> parts);

// A field for an integer from low to high, typed in decimal without group separators, wide
// enough for digits characters.
QLineEdit* MakeIntegerField(int low, int high, int digits, QWidget* parent);

// The "Width" and "Height" labels with their fields (integers 0 to 999999999) on one line, for
// an image size the user may type. The fields are returned in width and height.
QHBoxLayout* MakeSizeRow(QWidget* parent, QLineEdit*& width, QLineEdit*& height);

// Shows text in field; an unchanged text keeps its cursor and selection.
void ShowText(QLineEdit* field, const QString& text);

// Fills list with entries and selects index (none when it is past the end), without signalling
// the change as the user's.
void ShowEntries(QComboBox* list, const std::vector<std::string>& entries, int index);

// Enables or disables every one of widgets.
void SetAllEnabled(std::initializer_list<QWidget*> widgets, bool enabled);

// The value of an integer field; 0 while it holds no whole number.
int IntegerIn(const QLineEdit* field);

// True when every field holds a whole number of its range. Otherwise shows "Please enter an
// integer." for the first that does not, gives it the focus with its text selected, and
// returns false.
bool CheckIntegerFields(const std::vector<QLineEdit*>& fields, Host& host);

}  // namespace lumesta
