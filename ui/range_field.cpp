#include "ui/range_field.h"

#include <QSpinBox>
#include <string>

#include "core/host.h"

namespace lumesta {

QSpinBox* MakeRangeField(int low, int high, int start, QWidget* parent)
{
    auto* field = new QSpinBox(parent);
    field->setRange(low, high);
    field->setValue(start);
    field->setAccelerated(false);
    field->setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
    return field;
}

bool CheckRangeFields(std::initializer_list<QSpinBox*> fields, Host& host)
{
    for (QSpinBox* field : fields) {
        bool isNumber = false;
        const int value = field->cleanText().trimmed().toInt(&isNumber);
        if (isNumber && value >= field->minimum() && value <= field->maximum()) continue;
        host.ShowMessage("Please enter an integer between " + std::to_string(field->minimum()) +
                         " and " + std::to_string(field->maximum()) + ".");
        field->setFocus();
        field->selectAll();
        return false;
    }
    return true;
}

}  // namespace lumesta
