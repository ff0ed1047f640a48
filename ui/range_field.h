#pragma once
// Number fields with spin buttons and the toolkit's range check on OK.

#include <initializer_list>

class QSpinBox;
class QWidget;

namespace lumesta {

class Host;

// A number field with spin buttons for the integers low..high, starting at start.
QSpinBox* MakeRangeField(int low, int high, int start, QWidget* parent);

// True when every field holds an integer within its range. Otherwise shows "Please enter an
// integer between <low> and <high>." for the first field that does not, gives it the focus
// with its text selected, and returns false.
bool CheckRangeFields(std::initializer_list<QSpinBox*> fields, Host& host);

}  // namespace lumesta
