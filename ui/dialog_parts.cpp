#include "ui/dialog_parts.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "core/host.h"
#include "ui/text.h"
#include "ui/tool_dialog.h"

namespace lumesta {

QPushButton* MakeBrowseButton(QWidget* parent)
{
    auto* button = new QPushButton("...", parent);
    button->setFixedWidth(button->fontMetrics().horizontalAdvance("....") + 16);
    button->setAutoDefault(false);
    return button;
}

QPushButton* MakeStretchButton(QWidget* parent)
{
    auto* button = new QPushButton(">>", parent);
    button->setAutoDefault(false);
    button->setFixedWidth(button->fontMetrics().horizontalAdvance(">>") + 24);
    return button;
}

QComboBox* MakeFileList(int minimumLength, QWidget* parent)
{
    auto* list = new QComboBox(parent);
    list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    list->setMinimumContentsLength(minimumLength);
    return list;
}

BandRow AddBandRow(QGridLayout& grid, int row, const QString& label, int minimumLength,
                   QWidget* parent)
{
    BandRow band;
    band.list = MakeFileList(minimumLength, parent);
    band.browse = MakeBrowseButton(parent);
    auto* name = new QLabel(label, parent);
    name->setBuddy(band.list);
    grid.addWidget(name, row, 0);
    grid.addWidget(band.list, row, 1);
    grid.addWidget(band.browse, row, 2);
    return band;
}

QDialogButtonBox* MakeOkCancelButtons(QDialog* dialog)
{
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

QDialogButtonBox* MakeToolButtons(ToolDialog* dialog)
{
    QDialogButtonBox* buttons = MakeOkCancelButtons(dialog);
    QPushButton* reset = buttons->addButton(QDialogButtonBox::Reset);
    reset->setAutoDefault(false);
    QObject::connect(reset, &QPushButton::clicked, dialog, [dialog] { dialog->OnReset(); });
    return buttons;
}

QVBoxLayout* LayOutColumn(QDialog* dialog, std::initializer_list<QWidget*> parts)
{
    auto* column = new QVBoxLayout(dialog);
    for (QWidget* part : parts) column->addWidget(part);
    column->setSizeConstraint(QLayout::SetFixedSize);
    return column;
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

void ShowEntries(QComboBox* list, const std::vector<std::string>& entries, int index)
{
    const QSignalBlocker blocker(list);
    list->clear();
    for (const std::string& entry : entries) list->addItem(ToQt(entry));
    list->setCurrentIndex(index < list->count() ? index : -1);
}

void SetAllEnabled(std::initializer_list<QWidget*> widgets, bool enabled)
{
    for (QWidget* widget : widgets) widget->setEnabled(enabled);
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
