#include "ui/haar_dialog.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "assess/assess_browse.h"
#include "assess/assess_options.h"
#include "assess/haar_transform.h"
#include "batch/batch_jobs.h"
#include "ui/dialog_keys.h"
#include "ui/dialog_parts.h"
#include "ui/text.h"

namespace lumesta {

CHaarWaveletDlg::CHaarWaveletDlg(RunCounters& counters, Host& host, QWidget* parent)
    : AssessDialog("Haar Wavelet Transform (For 16- or 8-bit data)", true, counters, host, parent)
{
    LayOut({MakeSpecificationsGroup(), MakeOutputGroup()});
    SetTip(m_levels, "How many decomposition levels are computed", "--levels N");
    SetTip(m_wavelet, "The wavelet of the transform", "always Haar");
    SetTip(m_half, "Coefficients formed with the factor 1/2", "--form half");
    SetTip(m_inverseSqrt2, "Coefficients formed with the factor 1/sqrt(2)", "--form sqrt2");
    SetTip(m_outputImage, "The coefficient raster the run writes (type, paste or drop a path)",
           "--output PATH");
    SetTip(m_bmp, "The picture of the coefficients (type, paste or drop a path)", "--bmp PATH");
    SetButtonTips(*this, "haar");
}

QWidget* CHaarWaveletDlg::MakeSpecificationsGroup()
{
    auto* group = new QGroupBox("Specifications", this);
    m_levels = MakeCountField(group);
    m_wavelet = new QComboBox(group);
    m_wavelet->addItem("Haar");
    m_half = new QRadioButton("1/2", group);
    m_inverseSqrt2 = new QRadioButton("1/sqrt(2)", group);
    auto* forms = new QButtonGroup(group);
    forms->addButton(m_half, static_cast<int>(HaarForm::Half));
    forms->addButton(m_inverseSqrt2, static_cast<int>(HaarForm::InverseSqrt2));

    auto* grid = new QGridLayout(group);
    grid->addWidget(new QLabel("Level(s)", group), 0, 0);
    grid->addWidget(m_levels, 0, 1, Qt::AlignLeft);
    grid->addWidget(new QLabel("Wavelets", group), 1, 0);
    grid->addWidget(m_wavelet, 1, 1, Qt::AlignLeft);
    grid->addWidget(new QLabel("Coefficient form:", group), 2, 0);
    auto* formRow = new QHBoxLayout;
    formRow->addWidget(m_half);
    formRow->addWidget(m_inverseSqrt2);
    formRow->addStretch();
    grid->addLayout(formRow, 2, 1);
    grid->setColumnStretch(2, 1);

    connect(m_wavelet, qOverload<int>(&QComboBox::activated), this,
            [this](int index) { m_job.waveletIndex = index; });
    connect(forms, &QButtonGroup::idClicked, this,
            [this](int form) { m_job.form = static_cast<HaarForm>(form); });
    return group;
}

QWidget* CHaarWaveletDlg::MakeOutputGroup()
{
    auto* group = new QGroupBox("Output Files", this);
    m_outputImage = MakePathField(group);
    m_bmp = MakePathField(group);
    QPushButton* imageBrowse = MakeBrowseButton(group);
    QPushButton* bmpBrowse = MakeBrowseButton(group);

    auto* grid = new QGridLayout(group);
    grid->addWidget(m_outputImage, 0, 0, 1, 2);
    grid->addWidget(imageBrowse, 0, 2);
    grid->addWidget(new QLabel("24-bit BMP:", group), 1, 0);
    grid->addWidget(m_bmp, 1, 1);
    grid->addWidget(bmpBrowse, 1, 2);
    grid->setColumnStretch(1, 1);

    SetTip(imageBrowse, "Names the coefficient raster; nothing is written before OK",
           "--output PATH");
    SetTip(bmpBrowse, "Names the picture; nothing is written before OK", "--bmp PATH");
    connect(imageBrowse, &QPushButton::clicked, this, [this] { OnBrowseOutputImage(); });
    connect(bmpBrowse, &QPushButton::clicked, this, [this] { OnBrowseBmp(); });
    return group;
}

JobCommand CHaarWaveletDlg::Command() const
{
    return {HaarOptions().tool.name, HaarOptions().CommandLine(m_job)};
}

void CHaarWaveletDlg::Restore(const JobCommand& command)
{
    m_job = RememberedJob(HaarOptions(), command.arguments, HaarJob{});
    ShowJob();
}

void CHaarWaveletDlg::ResetJob()
{
    m_job = HaarJob();
    ShowJob();
}

QRadioButton* CHaarWaveletDlg::FormButton(HaarForm form) const
{
    return form == HaarForm::Half ? m_half : m_inverseSqrt2;
}

void CHaarWaveletDlg::OnBrowseOutputImage()
{
    static const char kImageFilter[] =
        "ENVI (*.img), Idrisi32 (*.rst) Images|*.img;*.rst|All Files (*.*)|*.*||";
    BrowseToSave(kImageFilter, "RST", m_outputImage->text(),
                 [this](const QString& path) { OnOutputImageChosen(path); });
}

void CHaarWaveletDlg::OnOutputImageChosen(const QString& path)
{
    ChooseHaarOutputImage(m_job, ToEngine(path));
    ShowJob();
}

void CHaarWaveletDlg::OnBrowseBmp()
{
    static const char kBmpFilter[] = "24-Bit BMP File (*.bmp)|*.bmp|All Files (*.*)|*.*||";
    BrowseToSave(kBmpFilter, "BMP", m_bmp->text(),
                 [this](const QString& path) { OnBmpChosen(path); });
}

void CHaarWaveletDlg::OnBmpChosen(const QString& path)
{
    ChooseHaarBmp(m_job, ToEngine(path));
    ShowJob();
}

bool CHaarWaveletDlg::BrowseInput(const std::string& path)
{
    return BrowseHaarInput(m_job, path, ProgramHost());
}

RunOutcome CHaarWaveletDlg::RunJob()
{
    return ComputeHaarTransform(m_job, Counters(), ProgramHost());
}

void CHaarWaveletDlg::TakeToolFields()
{
    m_job.levels = IntegerIn(m_levels);
    m_job.outputImagePath = ToEngine(m_outputImage->text());
    m_job.bmpPath = ToEngine(m_bmp->text());
}

void CHaarWaveletDlg::ShowToolFields()
{
    ShowText(m_levels, QString::number(m_job.levels));
    m_wavelet->setCurrentIndex(m_job.waveletIndex);
    FormButton(m_job.form)->setChecked(true);
    ShowText(m_outputImage, ToQt(m_job.outputImagePath));
    ShowText(m_bmp, ToQt(m_job.bmpPath));
}

}  // namespace lumesta
