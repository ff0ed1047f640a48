#include "ui/etm_more_params_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QRadioButton>

#include "ui/dialog_parts.h"

namespace lumesta {

EtmMoreParamsDialog::EtmMoreParamsDialog(QWidget* parent) : QDialog(parent)
{
    // The title is spelled so, as users know it.
    setWindowTitle("More Paramters ...");

    // In the order of the filter types 0 to 4.
    const char* const filterNames[5] = {"Smooth (i.e., reducing image noises)",
                                        "Smooth, followed by sharpening", "None", "Detail",
                                        "Sharpen"};
    const char* const bandNames[3] = {"Blue", "Green", "Red"};
    auto* group = new QGroupBox("Spatial Filtering", this);
    auto* grid = new QGridLayout(group);
    for (int type = 0; type < 5; ++type) {
        m_filter[type] = new QRadioButton(filterNames[type], group);
        grid->addWidget(m_filter[type], type, 0);
        connect(m_filter[type], &QRadioButton::clicked, this,
                [this, type] { OnFilterChosen(static_cast<EtmFilter>(type)); });
    }
    for (int band = kEtmBlue; band <= kEtmRed; ++band) {
        m_bandBox[band] = new QCheckBox(bandNames[band], group);
        grid->addWidget(m_bandBox[band], band, 1);
    }

    LayOutColumn(this, {group, MakeOkCancelButtons(this)});

    FilterButton(EtmFilter::None)->setChecked(true);
    OnFilterChosen(EtmFilter::None);
}

void EtmMoreParamsDialog::OnFilterChosen(EtmFilter type)
{
    const bool filtering = type != EtmFilter::None;
    for (QCheckBox* box : m_bandBox) {
        box->setChecked(filtering);
        box->setEnabled(filtering);
    }
}

void EtmMoreParamsDialog::CopyTo(EtmJob& job) const
{
    for (int type = 0; type < 5; ++type) {
        if (m_filter[type]->isChecked()) job.filterType = static_cast<EtmFilter>(type);
    }
    for (int band = kEtmBlue; band <= kEtmRed; ++band) {
        job.filterFlags[band] = m_bandBox[band]->isChecked();
    }
}

}  // namespace lumesta
