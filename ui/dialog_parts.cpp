#include "ui/dialog_parts.h"

#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
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

QHBoxLayout* MakeSizeRow(QWidget* parent, QLineEdit*& width, QLineEdit*& height)
{
    constexpr int kMaxTypedSize = 999999999;
    width = MakeIntegerField(0, kMaxTypedSize, 10, parent);
    height = MakeIntegerField(0, kMaxTypedSize, 10, parent);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel("Width", parent));
    row->addWidget(width);
    row->addSpacing(24);
    row->addWidget(new QLabel("Height", parent));
    row->addWidget(height);
    row->addStretch();
    return row;
}

void ShowText(QLineEdit* field, const QString& text)
{
    if (field->text() != text) field->setText(text);
}

int IntegerIn(const QLineEdit* field)
{
    return field->text().trimmed().toInt();
}

bool CheckIntegerFields(const std::vector<QLineEdit*>& fields, Host& host)
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
