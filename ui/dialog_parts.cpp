#include "ui/dialog_parts.h"

#include <QIntValidator>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <string>

#include "app/host.h"

namespace lumesta {

QPushButton* MakeBrowseButton(QWidget* parent)
{
    auto* button = new QPushButton("...", parent);
    button->setFixedWidth(button->fontMetrics().horizontalAdvance("....") + 16);
    button->setAutoDefault(false);
    return button;
}

QLineEdit* MakeIntegerField(int low, int high, int digits, QWidget* parent)
{
    auto* field = new QLineEdit(parent);
    // The same digits in every locale: no group separators, as the command line reads them.
    QLocale plain = QLocale::c();
    plain.setNumberOptions(QLocale::RejectGroupSeparator | QLocale::OmitGroupSeparator);
    auto* validator = new QIntValidator(low, high, field);
    validator->setLocale(plain);
    field->setValidator(validator);
    field->setMaximumWidth(field->fontMetrics().horizontalAdvance(QString(digits, '0')) + 12);
    return field;
}

void ShowText(QLineEdit* field, const QString& text)
{
    if (field->text() != text) field->setText(text);
}

int IntegerIn(const QLineEdit* field)
{
    return field->text().trimmed().toInt();
}

bool CheckIntegerFields(std::initializer_list<QLineEdit*> fields, Host& host)
{
    static const std::string kNotAnInteger = "Please enter an integer.";
    for (QLineEdit* field : fields) {
        if (field->hasAcceptableInput()) continue;
        host.ShowMessage(kNotAnInteger);
        field->setFocus();
        field->selectAll();
        return false;
    }
    return true;
}

}  // namespace lumesta
