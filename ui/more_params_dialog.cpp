#include "ui/more_params_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>

#include "ui/dialog_parts.h"
#include "ui/range_field.h"

namespace lumesta {
namespace {

constexpr int kMaxAmount = 30;
const std::array<bool, 4> kDefaultFlags{false, true, true, false};
const char* const kBandNames[4] = {"Blue", "Green", "Red", "NIR"};

}  // namespace

MoreParamsDialog::MoreParamsDialog(Host& host, QWidget* parent) : QDialog(parent), m_host(host)
{
    setWindowTitle("More Paramaters ...");

    auto* filterGroup = new QGroupBox("Spatial Filtering", this);
    auto* filterGrid = new QGridLayout(filterGroup);
    const char* const filterNames[3] = {"Sharpen", "Detail", "None"};
    for (int type = 0; type < 3; ++type) {
        m_filter[type] = new QRadioButton(filterNames[type], filterGroup);
        filterGrid->addWidget(m_filter[type], type, 0);
        connect(m_filter[type], &QRadioButton::clicked, this,
                [this, type] { OnFilterChosen(static_cast<FilterType16>(type)); });
    }
    for (int band = kBlue; band <= kNir; ++band) {
        m_bandBox[band] = new QCheckBox(kBandNames[band], filterGroup);
        filterGrid->addWidget(m_bandBox[band], band, 1);
    }
    filterGrid->setColumnMinimumWidth(0, 110);

    auto* colourGroup = new QGroupBox("Adjustments for Colour Bands", this);
    auto* colourGrid = new QGridLayout(colourGroup);
    for (int band = kBlue; band <= kRed; ++band) {
        m_amount[band] = MakeRangeField(0, kMaxAmount, 0, colourGroup);
        auto* label = new QLabel(kBandNames[band], colourGroup);
        label->setBuddy(m_amount[band]);
        colourGrid->addWidget(label, 0, band);
        colourGrid->addWidget(m_amount[band], 1, band);
    }

    LayOutColumn(this, {filterGroup, colourGroup, MakeOkCancelButtons(this)});

    m_filter[static_cast<int>(FilterType16::Sharpen)]->setChecked(true);
    OnFilterChosen(FilterType16::Sharpen);
}

void MoreParamsDialog::OnFilterChosen(FilterType16 type)
{
    const bool filtering = type != FilterType16::None;
    for (int band = kBlue; band <= kNir; ++band) {
        m_bandBox[band]->setChecked(filtering && kDefaultFlags[band]);
        m_bandBox[band]->setEnabled(filtering);
    }
}

void MoreParamsDialog::CopyTo(PanSharpenJob& job) const
{
    for (int type = 0; type < 3; ++type) {
        if (m_filter[type]->isChecked()) job.filterType = static_cast<FilterType16>(type);
    }
    for (int band = kBlue; band <= kNir; ++band) job.filterFlags[band] = m_bandBox[band]->isChecked();
    for (int band = kBlue; band <= kRed; ++band) job.colourAmounts[band] = m_amount[band]->value();
}

void MoreParamsDialog::accept()
{
    if (!CheckRangeFields({m_amount[kBlue], m_amount[kGreen], m_amount[kRed]}, m_host)) return;
    QDialog::accept();
}

}  // namespace lumesta
