#pragma once
// A pan-sharpening dialog as a view of its job record. Traits names the tool's engine side:
//   using Job = ...;                                   // PanSharpenJob, EtmJob
//   static constexpr std::array<const char*, N> kBandLabels;
//   static constexpr bool kLandsatTool;                // which methods the list offers
//   static constexpr bool kOffersAuto;                 // "Best for this scene" after them
//   BrowsePan, BrowseBlue, BrowseOtherBand, SelectBand, SetSuffix, ChooseBmp, Run, Options
// Each handler hands the user's choice to the engine and then shows the job again; the dialog
// itself computes nothing.

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <algorithm>
#include <array>
#include <string>
#include <tuple>

#include "batch/batch_jobs.h"
#include "fusion/fusion_method.h"
#include "ui/dialog_keys.h"
#include "ui/fusion_dialog_base.h"
#include "ui/stretch_params_dialog.h"
#include "ui/text.h"

namespace lumesta {

template <typename Traits>
class PanSharpenJobDialog : public PanSharpenDialogBase {
public:
    using JobType = typename Traits::Job;

    const JobType& Job() const { return m_job; }

    void OnPanChosen(const QString& path) override
    {
        Traits::BrowsePan(m_job, ToEngine(path), ProgramHost());
        ShowJob();
    }
    void OnBandChosen(int band, const QString& path) override
    {
        if (band == 0) {
            Traits::BrowseBlue(m_job, ToEngine(path), ProgramHost());
        } else {
            Traits::BrowseOtherBand(m_job, band, ToEngine(path), ProgramHost());
        }
        ShowJob();
    }
    void OnBmpChosen(const QString& path) override
    {
        Traits::ChooseBmp(m_job, ToEngine(path), ProgramHost());
        ShowJob();
    }
    JobCommand Command() const override
    {
        return {Traits::Options().tool.name, Traits::Options().CommandLine(m_job)};
    }
    void Restore(const JobCommand& command) override
    {
        m_job = RememberedJob(Traits::Options(), command.arguments, JobType{});
        ShowJob();
    }

    // ">>": the stretch dialog opens at its own defaults; on OK its nine values replace the
    // job's, each to the band of its column.
    void OnStretch() override
    {
        if (IsRunning()) return;
        CStretchParamsDlg stretch(ProgramHost(), this);
        if (stretch.exec() == QDialog::Accepted) m_job.stretch = stretch.Params();
    }

protected:
    PanSharpenJobDialog(const QString& title, RunCounters& counters, Host& host, QWidget* parent)
        : PanSharpenDialogBase(title, BandLabels(), counters, host, parent)
    {
        BindFields();
        std::string names;
        for (const FusionMethod method : m_methods) {
            names += (names.empty() ? "" : "|") + std::string(MethodRowOf(method).name);
        }
        if constexpr (Traits::kOffersAuto) names += std::string("|") + kAutoMethodName;
        SetTip(MethodList(), "The fusion method", ToQt("--method " + names));
        ShowJob();
    }

    void ResetJob() override
    {
        m_job = JobType();
        ShowJob();
    }

    void ShowJob() override
    {
        // A batch file supplies the inputs: they are shown but cannot be edited.
        const bool inputsEnabled = !m_job.batchMode;
        ShowPan(m_job.panName, m_job.width, m_job.height, inputsEnabled);
        for (int band = 0; band < kBands; ++band) {
            ShowBand(band, m_job.bandLists[band], m_job.selectedIndex[band], true,
                     inputsEnabled && (band == 0 || m_job.browseEnabled[band]));
        }
        ShowOutputs(MethodIndex(), ResamplingLabel(m_job.method), m_job.suffix,
                    m_job.bmpName, m_job.displayBmp, m_job.colourMatch, m_job.qualityLine);
        // In batch mode the selectors choose the colour bands; the file supplies the rest.
        ShowBatchMode(m_job.batchMode);
    }

    JobType m_job;
    // The methods of the list, in its order: the tool's rows of the method table.
    const std::vector<FusionMethod> m_methods = MethodsOfTool(Traits::kLandsatTool);

private:
    static constexpr int kBands = static_cast<int>(std::tuple_size_v<decltype(JobType::bandLists)>);
    static_assert(Traits::kBandLabels.size() == kBands, "one dialog row per band of the job");

    static std::vector<QString> BandLabels()
    {
        return std::vector<QString>(Traits::kBandLabels.begin(), Traits::kBandLabels.end());
    }

    int MethodIndex() const
    {
        if constexpr (Traits::kOffersAuto) {
            // "Best for this scene", after the methods.
            if (m_job.autoMethod.requested) return static_cast<int>(m_methods.size());
        }
        const auto at = std::find(m_methods.begin(), m_methods.end(), m_job.method);
        return at == m_methods.end() ? 0 : static_cast<int>(at - m_methods.begin());
    }

    // The edits that only store a value; the others go through the engine.
    void BindFields()
    {
        for (const FusionMethod method : m_methods) MethodList()->addItem(MethodLabel(method));
        connect(WidthField(), &QLineEdit::textEdited, this,
                [this](const QString& text) { m_job.width = text.toInt(); });
        connect(HeightField(), &QLineEdit::textEdited, this,
                [this](const QString& text) { m_job.height = text.toInt(); });
        for (int band = 0; band < kBands; ++band) {
            connect(BandList(band), qOverload<int>(&QComboBox::activated), this,
                    [this, band](int index) { Traits::SelectBand(m_job, band, index); });
        }
        connect(MethodList(), qOverload<int>(&QComboBox::activated), this, [this](int index) {
            // An entry after the methods ("Best for this scene") is the tool's own to handle.
            if (static_cast<std::size_t>(index) >= m_methods.size()) return;
            m_job.method = m_methods[static_cast<std::size_t>(index)];
            ShowJob();
        });
        connect(ResamplingList(), qOverload<int>(&QComboBox::activated), this,
                [this](int index) { m_job.resampling = index; });
        connect(SuffixField(), &QLineEdit::textEdited, this, [this](const QString& text) {
            Traits::SetSuffix(m_job, ToEngine(text));
            ShowJob();
        });
        connect(BmpField(), &QLineEdit::textEdited, this,
                [this](const QString& text) { m_job.bmpName = ToEngine(text); });
        connect(DisplayBmpBox(), &QCheckBox::clicked, this,
                [this](bool on) { m_job.displayBmp = on; });
        connect(ColourMatchBox(), &QCheckBox::clicked, this,
                [this](bool on) { m_job.colourMatch = on; });
        connect(QualityLineBox(), &QCheckBox::clicked, this,
                [this](bool on) { m_job.qualityLine = on; });
    }

    bool BlueChosen() const override { return !m_job.selection[0].empty(); }
    QString CurrentBandPath(int band) const override { return ToQt(m_job.msPath[band]); }

    void TakeSize(int width, int height) override
    {
        m_job.width = width;
        m_job.height = height;
    }

    RunOutcome RunJob(Host& host) override { return Traits::Run(m_job, Counters(), host); }

    bool InBatchMode() const override { return m_job.batchMode; }

    // Every job of the batch file; true when the whole file was processed.
    bool RunBatchJobs(Host& host) override
    {
        return Traits::RunBatch(m_job, Counters(), host) == BatchOutcome::Completed;
    }
};

}  // namespace lumesta
