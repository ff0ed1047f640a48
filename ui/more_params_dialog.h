#pragma once
// "More Paramaters ...": the spatial filter and the colour adjustments of a 16-bit
// pan-sharpening job. It always opens with its defaults; only OK copies its values into the job.

#include <QDialog>
#include <array>

#include "fusion/pansharpen_job.h"

class QCheckBox;
class QRadioButton;
class QSpinBox;

namespace lumesta {

class Host;

class MoreParamsDialog : public QDialog {
public:
    MoreParamsDialog(Host& host, QWidget* parent);

    // Copies the filter type, the four band flags and the three colour amounts into job.
    void CopyTo(PanSharpenJob& job) const;

    // A filter radio button chosen: "Sharpen" and "Detail" enable the band boxes and reset them
    // to Blue off, Green on, Red on, NIR off; "None" clears and disables them.
    void OnFilterChosen(FilterType16 type);

    // OK: refuses amounts outside 0..30 (message shown, the dialog stays open).
    void accept() override;

    QRadioButton* FilterButton(FilterType16 type) const { return m_filter[static_cast<int>(type)]; }
    QCheckBox* BandBox(int band) const { return m_bandBox[band]; }
    QSpinBox* AmountField(int band) const { return m_amount[band]; }

private:
    Host& m_host;
    std::array<QRadioButton*, 3> m_filter{};
    std::array<QCheckBox*, 4> m_bandBox{};
    std::array<QSpinBox*, 3> m_amount{};
};

}  // namespace lumesta
