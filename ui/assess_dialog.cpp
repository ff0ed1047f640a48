#include "ui/assess_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <climits>

#include "assess/assess_browse.h"
#include "ui/dialog_parts.h"
#include "ui/file_chooser.h"
#include "ui/text.h"
#include "ui/tool_run_guard.h"

namespace lumesta {

AssessDialog::AssessDialog(const QString& title, bool sizeInInputGroup, RunCounters& counters,
                           Host& host, QWidget* parent)
    : QDialog(parent), m_counters(counters), m_host(host), m_guard(new ToolRunGuard(*this))
{
    setWindowTitle(title);
    m_inputGroup = MakeInputGroup(sizeInInputGroup);
    if (!sizeInInputGroup) m_sizeRow = MakeSizeFields(this);
}

bool AssessDialog::IsRunning() const
{
    return m_guard->IsRunning();
}

void AssessDialog::LayOut(const std::vector<QWidget*>& toolGroups)
{
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_inputGroup);
    if (m_sizeRow) layout->addLayout(m_sizeRow);
    for (QWidget* group : toolGroups) layout->addWidget(group);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    ShowJob();
}

QGroupBox* AssessDialog::MakeInputGroup(bool withSize)
{
    auto* group = new QGroupBox("Input Image Name", this);
    m_inputList = new QComboBox(group);
    m_inputList->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_inputList->setMinimumContentsLength(40);
    m_inputBrowse = MakeBrowseButton(group);

    auto* grid = new QGridLayout(group);
    grid->setColumnStretch(0, 1);
    grid->addWidget(m_inputList, 0, 0);
    grid->addWidget(m_inputBrowse, 0, 1);
    if (withSize) grid->addLayout(MakeSizeFields(group), 1, 0, 1, 2);

    connect(m_inputBrowse, &QPushButton::clicked, this, [this] { OnBrowseInput(); });
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
    {
        const QSignalBlocker blocker(m_inputList);
        m_inputList->clear();
        for (const std::string& entry : input.inputList) m_inputList->addItem(ToQt(entry));
        m_inputList->setCurrentIndex(
            input.listSelection < m_inputList->count() ? input.listSelection : -1);
    }
    ShowText(m_width, QString::number(input.width));
    ShowText(m_height, QString::number(input.height));
    ShowToolFields();
}

void AssessDialog::OnBrowseInput()
{
    static const char kInputFilter[] =
        "ENVI (*.img), Idrisi32 (*.rst) Images|*.img;*.rst|Generic Image Matrix (*.*)|*.*||";
    if (IsRunning()) return;
    const QString path = ChooseFileToOpen(this, kInputFilter);
    if (!path.isEmpty()) OnInputChosen(path);
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

void AssessDialog::BrowseForOutput(const char* filterText, const char* defaultSuffix,
                                   const char* initialName,
                                   const std::function<void(const QString&)>& take)
{
    if (IsRunning()) return;
    const QString path = ChooseFileToSave(this, filterText, defaultSuffix, initialName);
    if (!path.isEmpty()) take(path);
}

void AssessDialog::accept()
{
    if (IsRunning()) return;
    std::vector<QLineEdit*> fields = {m_width, m_height};
    for (QLineEdit* field : CountFields()) fields.push_back(field);
    if (!CheckIntegerFields(fields, m_host)) return;
    TakeFields();
    const RunOutcome outcome = m_guard->Run(m_host, [this] { return RunJob(); });
    ShowJob();
    if (outcome == RunOutcome::Stopped) return;
    QDialog::accept();
}

void AssessDialog::reject()
{
    if (IsRunning()) return;
    QDialog::reject();
}

}  // namespace lumesta
