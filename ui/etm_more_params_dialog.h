#pragma once
// "More Paramters ...": the spatial filter of a Landsat ETM+ pan-sharpening job and the bands
// it applies to. It always opens at "None" with the band boxes cleared and disabled; only OK
// copies its values into the job.

#include <QDialog>
#include <array>

#include "fusion/etm_job.h"

class QCheckBox;
class QRadioButton;

namespace lumesta {

class EtmMoreParamsDialog : public QDialog {
public:
    explicit EtmMoreParamsDialog(QWidget* parent);

    // Copies the filter type and the Blue, Green and Red flags into job.
    void CopyTo(EtmJob& job) const;

    // A filter radio button chosen: any filter enables the three band boxes and checks them
    // all; "None" clears and disables them.
    void OnFilterChosen(EtmFilter type);

    QRadioButton* FilterButton(EtmFilter type) const { return m_filter[static_cast<int>(type)]; }
    QCheckBox* BandBox(int band) const { return m_bandBox[band]; }

private:
    std::array<QRadioButton*, 5> m_filter{};
    std::array<QCheckBox*, 3> m_bandBox{};
};

}  // namespace lumesta
