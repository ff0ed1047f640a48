#pragma once
// "Parameters for Image Stretching": the histogram cutoffs and nonlinear strengths of Blue,
// Green and Red. It always opens at 2 % and 0, whatever its owner holds; only OK hands the
// nine values back.

#include <QDialog>
#include <array>

#include "imaging/stretch.h"

class QSpinBox;

namespace lumesta {

class Host;

class CStretchParamsDlg : public QDialog {
public:
    CStretchParamsDlg(Host& host, QWidget* parent);

    // The nine values, each to its own band.
    StretchParams Params() const;

    // OK: refuses cutoffs outside 1..20 and strengths outside 0..20 (message shown, the dialog
    // stays open).
    void accept() override;

    QSpinBox* LeftField(int band) const { return m_left[band]; }
    QSpinBox* RightField(int band) const { return m_right[band]; }
    QSpinBox* NonlinearField(int band) const { return m_nonlinear[band]; }

private:
    Host& m_host;
    std::array<QSpinBox*, 3> m_left{};
    std::array<QSpinBox*, 3> m_right{};
    std::array<QSpinBox*, 3> m_nonlinear{};
};

}  // namespace lumesta
