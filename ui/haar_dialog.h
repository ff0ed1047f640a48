#pragma once
// "Haar Wavelet Transform (For 16- or 8-bit data)": a view of one HaarJob. OK runs
// ComputeHaarTransform with the log document's counters (no viewer is started).

#include "assess/haar_job.h"
#include "ui/assess_dialog.h"

class QComboBox;
class QRadioButton;

namespace lumesta {

class CHaarWaveletDlg : public AssessDialog {
public:
    CHaarWaveletDlg(RunCounters& counters, Host& host, QWidget* parent);

    const HaarJob& Job() const { return m_job; }
    JobCommand Command() const override;
    void Restore(const JobCommand& command) override;

    // "..." beside the output image: a save chooser for ENVI and Idrisi32 images, then
    // OnOutputImageChosen. The header paths keep following the input.
    void OnBrowseOutputImage();
    void OnOutputImageChosen(const QString& path);
    // "..." beside "24-bit BMP:": a save chooser for BMP files, then OnBmpChosen.
    void OnBrowseBmp();
    void OnBmpChosen(const QString& path);

    QLineEdit* LevelsField() const { return m_levels; }
    QRadioButton* FormButton(HaarForm form) const;
    QLineEdit* OutputImageField() const { return m_outputImage; }
    QLineEdit* BmpField() const { return m_bmp; }

protected:
    void ResetJob() override;

private:
    QWidget* MakeSpecificationsGroup();
    QWidget* MakeOutputGroup();

    AssessInput& Input() override { return m_job.input; }
    bool BrowseInput(const std::string& path) override;
    RunOutcome RunJob() override;
    void TakeToolFields() override;
    void ShowToolFields() override;
    std::vector<QLineEdit*> CountFields() const override { return {m_levels}; }

    HaarJob m_job;
    QLineEdit* m_levels = nullptr;
    QComboBox* m_wavelet = nullptr;
    QRadioButton* m_half = nullptr;
    QRadioButton* m_inverseSqrt2 = nullptr;
    QLineEdit* m_outputImage = nullptr;
    QLineEdit* m_bmp = nullptr;
};

}  // namespace lumesta
