#pragma once
// An assessment dialog whose run writes one text table (semivariance, multi-resolution
// statistics): a "Specifications" group around one count field, and an output group with the
// table's path and its "..." button. Traits names the tool's side:
//   using Job = ...;                                  // SemivarianceJob, ImageStatsJob
//   static constexpr const char* kTitle, kOutputGroup;
//   static constexpr int Job::*kCount;                // the count field's job value
//   static constexpr const char* kCountTip, kCountOption, kCommand;   // tooltips
//   static QLayout* SpecificationsLayout(QWidget* group, QLineEdit* count);
//   Browse, ChooseOutput, Run, Options                // the engine's functions

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

#include "batch/batch_jobs.h"
#include "ui/assess_dialog.h"
#include "ui/dialog_keys.h"
#include "ui/dialog_parts.h"
#include "ui/text.h"

namespace lumesta {

template <typename Traits>
class TableToolDialog : public AssessDialog {
public:
    using JobType = typename Traits::Job;

    TableToolDialog(RunCounters& counters, Host& host, QWidget* parent)
        : AssessDialog(Traits::kTitle, false, counters, host, parent)
    {
        LayOut({MakeSpecificationsGroup(), MakeOutputGroup()});
        SetTip(m_count, Traits::kCountTip, Traits::kCountOption);
        SetTip(m_output, "The table the run writes (type, paste or drop a path)", "--output PATH");
        SetTip(m_outputBrowse, "Names the table; nothing is written before OK", "--output PATH");
        SetButtonTips(*this, Traits::kCommand);
    }

    const JobType& Job() const { return m_job; }

    JobCommand Command() const override
    {
        return {Traits::Options().tool.name, Traits::Options().CommandLine(m_job)};
    }
    void Restore(const JobCommand& command) override
    {
        m_job = RememberedJob(Traits::Options(), command.arguments, JobType{});
        ShowJob();
    }

    // "..." of the output group: a save chooser for text files, then OnOutputChosen.
    void OnBrowseOutput()
    {
        static const char kTextFilter[] = "Text File (*.txt)|*.txt|All Files (*.*)|*.*||";
        BrowseToSave(kTextFilter, "TXT", m_output->text(),
                     [this](const QString& path) { OnOutputChosen(path); });
    }
    // The table chosen: the engine takes its path (nothing is created).
    void OnOutputChosen(const QString& path)
    {
        Traits::ChooseOutput(m_job, ToEngine(path));
        ShowJob();
    }

    QLineEdit* CountField() const { return m_count; }
    QLineEdit* OutputField() const { return m_output; }

protected:
    void ResetJob() override
    {
        m_job = JobType();
        ShowJob();
    }

private:
    QWidget* MakeSpecificationsGroup()
    {
        auto* group = new QGroupBox("Specifications", this);
        m_count = MakeCountField(group);
        group->setLayout(Traits::SpecificationsLayout(group, m_count));
        return group;
    }

    QWidget* MakeOutputGroup()
    {
        auto* group = new QGroupBox(Traits::kOutputGroup, this);
        m_output = MakePathField(group);
        m_outputBrowse = MakeBrowseButton(group);
        auto* row = new QHBoxLayout(group);
        row->addWidget(m_output, 1);
        row->addWidget(m_outputBrowse);
        connect(m_outputBrowse, &QPushButton::clicked, this, [this] { OnBrowseOutput(); });
        return group;
    }

    AssessInput& Input() override { return m_job.input; }
    bool BrowseInput(const std::string& path) override
    {
        return Traits::Browse(m_job, path, ProgramHost());
    }
    RunOutcome RunJob() override { return Traits::Run(m_job, Counters(), ProgramHost()); }
    void TakeToolFields() override
    {
        m_job.*Traits::kCount = IntegerIn(m_count);
        m_job.outputPath = ToEngine(m_output->text());
    }
    void ShowToolFields() override
    {
        ShowText(m_count, QString::number(m_job.*Traits::kCount));
        ShowText(m_output, ToQt(m_job.outputPath));
    }
    std::vector<QLineEdit*> CountFields() const override { return {m_count}; }

    JobType m_job;
    QLineEdit* m_count = nullptr;
    QLineEdit* m_output = nullptr;
    QPushButton* m_outputBrowse = nullptr;
};

}  // namespace lumesta
