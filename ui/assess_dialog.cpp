#include "ui/assess_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <climits>

#include "assess/assess_browse.h"
#include "ui/dialog_keys.h"
#include "ui/dialog_parts.h"
#include "ui/text.h"

namespace lumesta {

AssessDialog::AssessDialog(const QString& title, bool sizeInInputGroup, RunCounters& counters,
                           Host& host, QWidget* parent)
    : ToolDialog(counters, host, parent)
{
    setWindowTitle(title);
    m_inputGroup = MakeInputGroup(sizeInInputGroup);
    if (!sizeInInputGroup) m_sizeRow = MakeSizeFields(this);
}

void AssessDialog::LayOut(const std::vector<QWidget*>& toolGroups)
{
    QDialogButtonBox* buttons = MakeToolButtons(this);
    QVBoxLayout* column = LayOutColumn(this, {m_inputGroup});
    if (m_sizeRow) column->addLayout(m_sizeRow);
    for (QWidget* group : toolGroups) column->addWidget(group);
    column->addWidget(buttons);
    SetTip(m_inputList, "The band of the input that is assessed (drop a file here to choose it)",
           "--band N");
    SetTip(m_inputBrowse, "Chooses the input image", "--input PATH");
    SetTip(m_width, "Width in pixels (typed for a headerless matrix)", "--width N");
    SetTip(m_height, "Height in pixels (typed for a headerless matrix)", "--height N");
    ShowJob();
}

QGroupBox* AssessDialog::MakeInputGroup(bool withSize)
{
    auto* group = new QGroupBox("Input Image Name", this);
    m_inputList = MakeFileList(40, group);
    m_inputBrowse = MakeBrowseButton(group);

    auto* grid = new QGridLayout(group);
    grid->setColumnStretch(0, 1);
    grid->addWidget(m_inputList, 0, 0);
    grid->addWidget(m_inputBrowse, 0, 1);
    if (withSize) grid->addLayout(MakeSizeFields(group), 1, 0, 1, 2);

    connect(m_inputBrowse, &QPushButton::clicked, this, [this] { OnBrowseInput(); });
    AcceptFileDrops(*m_inputList, [this](const QString& path) {
        if (!IsRunning()) OnInputChosen(path);
    });
    connect(m_inputList, qOverload<int>(&QComboBox::activated), this,
            [this](int entry) { OnInputSelected(entry); });
    return group;
}

QHBoxLayout* AssessDialog::MakeSizeFields(QWidget* parent)
{
    QHBoxLayout* row = MakeSizeRow(parent, m_width, m_height);
    connect(m_width, &QLineEdit::textEdited, this, [this] { TakeFields(); });
    connect(m_height, &QLineEdit::textEdited, this, [this] { TakeFields(); });
    return row;
}

QLineEdit* AssessDialog::MakeCountField(QWidget* parent)
{
    QLineEdit* field = MakeIntegerField(INT_MIN, INT_MAX, 10, parent);
    connect(field, &QLineEdit::textEdited, this, [this] { TakeFields(); });
    return field;
}

QLineEdit* AssessDialog::MakePathField(QWidget* parent)
{
    auto* field = new QLineEdit(parent);
    field->setMinimumWidth(field->fontMetrics().horizontalAdvance(QString(52, 'x')));
    connect(field, &QLineEdit::textEdited, this, [this] { TakeFields(); });
    BindPathField(*field, [this, field](const QString& path) {
        if (IsRunning()) return;
        ShowText(field, path);
        TakeFields();
    });
    return field;
}

void AssessDialog::TakeFields()
{
    AssessInput& input = Input();
    input.width = IntegerIn(m_width);
    input.height = IntegerIn(m_height);
    TakeToolFields();
}

void AssessDialog::ShowJob()
{
    const AssessInput& input = Input();
    ShowEntries(m_inputList, input.inputList, input.listSelection);
    ShowText(m_width, QString::number(input.width));
    ShowText(m_height, QString::number(input.height));
    ShowToolFields();
}

void AssessDialog::OnBrowseInput()
{
    static const char kInputFilter[] =
        "ENVI (*.img), Idrisi32 (*.rst) Images|*.img;*.rst|Generic Image Matrix (*.*)|*.*||";
    BrowseToOpen(
        kInputFilter, [this](const QString& path) { OnInputChosen(path); },
        ToQt(Input().inputPath));
}

void AssessDialog::OnInputChosen(const QString& path)
{
    BrowseInput(ToEngine(path));
    ShowJob();
}

void AssessDialog::OnInputSelected(int entry)
{
    SelectAssessInputEntry(Input(), entry);
}

void AssessDialog::accept()
{
    if (IsRunning()) return;
    std::vector<QLineEdit*> fields = {m_width, m_height};
    for (QLineEdit* field : CountFields()) fields.push_back(field);
    if (!CheckIntegerFields(fields, ProgramHost())) return;
    TakeFields();
    const RunOutcome outcome = RunGuarded([this] { return RunJob(); });
    ShowJob();
    if (outcome == RunOutcome::Finished) QDialog::accept();
}

}  // namespace lumesta
