#include "ui/stretch_params_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QSpinBox>

#include "ui/dialog_parts.h"
#include "ui/range_field.h"

namespace lumesta {
namespace {

constexpr int kMinCutoff = 1;
constexpr int kMaxCutoff = 20;
constexpr int kStartCutoff = 2;
constexpr int kMaxStrength = 20;
const char* const kBandNames[3] = {"Blue", "Green", "Red"};

}  // namespace

CStretchParamsDlg::CStretchParamsDlg(Host& host, QWidget* parent) : QDialog(parent), m_host(host)
{
    setWindowTitle("Parameters for Image Stretching");

    auto* cutoffGroup = new QGroupBox("Histogram Stretch (cutoffs at both ends, %)", this);
    auto* cutoffGrid = new QGridLayout(cutoffGroup);
    cutoffGrid->addWidget(new QLabel("Left", cutoffGroup), 1, 0);
    cutoffGrid->addWidget(new QLabel("Right", cutoffGroup), 2, 0);
    auto* nonlinearLabel = new QLabel("+ Nonlinear Stretch", cutoffGroup);
    cutoffGrid->addWidget(nonlinearLabel, 3, 0, 1, 4);
    cutoffGrid->addWidget(new QLabel("Strength", cutoffGroup), 4, 0);
    // Created in the order of the tab chain: the cutoffs band by band, then the strengths.
    for (int band = 0; band < 3; ++band) {
        cutoffGrid->addWidget(new QLabel(kBandNames[band], cutoffGroup), 0, band + 1,
                              Qt::AlignHCenter);
        m_left[band] = MakeRangeField(kMinCutoff, kMaxCutoff, kStartCutoff, cutoffGroup);
        m_right[band] = MakeRangeField(kMinCutoff, kMaxCutoff, kStartCutoff, cutoffGroup);
        cutoffGrid->addWidget(m_left[band], 1, band + 1);
        cutoffGrid->addWidget(m_right[band], 2, band + 1);
    }
    for (int band = 0; band < 3; ++band) {
        m_nonlinear[band] = MakeRangeField(0, kMaxStrength, 0, cutoffGroup);
        cutoffGrid->addWidget(m_nonlinear[band], 4, band + 1);
    }

    LayOutColumn(this, {cutoffGroup, MakeOkCancelButtons(this)});
}

StretchParams CStretchParamsDlg::Params() const
{
    StretchParams params;
    for (int band = 0; band < 3; ++band) {
        params.leftCutoff[band] = m_left[band]->value();
        params.rightCutoff[band] = m_right[band]->value();
        params.nonlinear[band] = m_nonlinear[band]->value();
    }
    return params;
}

void CStretchParamsDlg::accept()
{
    if (!CheckRangeFields({m_left[0], m_right[0], m_left[1], m_right[1], m_left[2], m_right[2],
                           m_nonlinear[0], m_nonlinear[1], m_nonlinear[2]},
                          m_host)) {
        return;
    }
    QDialog::accept();
}

}  // namespace lumesta
