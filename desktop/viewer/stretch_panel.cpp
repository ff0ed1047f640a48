#include "desktop/viewer/stretch_panel.h"

#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

namespace lumesta {
namespace {

constexpr double kLimitRange = 1e15;

QDoubleSpinBox* PercentBox(QWidget* parent)
{
    auto* box = new QDoubleSpinBox(parent);
    box->setRange(0, 49.9);
    box->setDecimals(1);
    box->setSingleStep(0.5);
    box->setValue(2);
    box->setSuffix(" %");
    box->setMaximumWidth(90);
    return box;
}

QDoubleSpinBox* LimitBox(QWidget* parent)
{
    auto* box = new QDoubleSpinBox(parent);
    box->setRange(-kLimitRange, kLimitRange);
    box->setDecimals(3);
    box->setKeyboardTracking(false);
    box->setMaximumWidth(130);
    return box;
}

}  // namespace

StretchPanel::StretchPanel(QWidget* parent) : QWidget(parent)
{
    // Tight margins: in a short window the picture keeps the height.
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    m_histogram = new HistogramView(this);
    layout->addWidget(m_histogram, 3);
    auto* side = new QVBoxLayout;
    layout->addLayout(side, 2);
    auto* presets = new QHBoxLayout;
    presets->addWidget(new QLabel("Presets:", this));
    const std::pair<const char*, StretchPreset> buttons[] = {
        {"Min-max", StretchPreset::MinMax},
        {"2 % cut", StretchPreset::TwoPercent},
        {"Mean \u00b1 2\u03c3", StretchPreset::MeanSigma}};
    for (const auto& [text, preset] : buttons) {
        auto* button = new QPushButton(QString::fromUtf8(text), this);
        button->setObjectName(QString("Preset%1").arg(static_cast<int>(preset)));
        presets->addWidget(button);
        connect(button, &QPushButton::clicked, this, [this, p = preset] { emit PresetChosen(p); });
    }
    presets->addStretch(1);
    side->addLayout(presets);
    auto* grid = new QGridLayout;
    grid->setVerticalSpacing(2);
    side->setSpacing(2);
    side->addLayout(grid);
    side->addStretch(1);
    const char* const headers[] = {"", "Left cut-off", "Right cut-off", "Low", "High", "Nonlinear"};
    for (int column = 0; column < 6; ++column)
        grid->addWidget(new QLabel(headers[column], this), 0, column);
    const char* const names[] = {"Red", "Green", "Blue"};
    for (int c = 0; c < 3; ++c) {
        m_names[c] = new QLabel(names[c], this);
        m_left[c] = PercentBox(this);
        m_right[c] = PercentBox(this);
        m_low[c] = LimitBox(this);
        m_high[c] = LimitBox(this);
        m_strength[c] = new QSpinBox(this);
        m_strength[c]->setRange(0, 20);
        m_strength[c]->setMaximumWidth(70);
        QWidget* row[] = {m_names[c], m_left[c], m_right[c], m_low[c], m_high[c], m_strength[c]};
        for (int column = 0; column < 6; ++column) grid->addWidget(row[column], c + 1, column);
        const auto cutoffs = [this, c] {
            if (!m_quiet) emit CutoffsChanged(c);
        };
        const auto changed = [this] {
            if (!m_quiet) emit StretchChanged();
        };
        connect(m_left[c], &QDoubleSpinBox::valueChanged, this, cutoffs);
        connect(m_right[c], &QDoubleSpinBox::valueChanged, this, cutoffs);
        connect(m_low[c], &QDoubleSpinBox::valueChanged, this, changed);
        connect(m_high[c], &QDoubleSpinBox::valueChanged, this, changed);
        connect(m_strength[c], &QSpinBox::valueChanged, this, changed);
    }
    connect(m_histogram, &HistogramView::LimitDragged, this,
            [this](int channel, bool high, double value) {
                (high ? m_high : m_low)[channel]->setValue(value);
            });
}

void StretchPanel::SetCutoffs(double percent)
{
    for (int c = 0; c < 3; ++c) {
        m_quiet = true;
        m_left[c]->setValue(percent);
        m_right[c]->setValue(percent);
        m_quiet = false;
        emit CutoffsChanged(c);
    }
}

std::array<ChannelStretch, 3> StretchPanel::Stretch() const
{
    std::array<ChannelStretch, 3> stretch;
    for (int c = 0; c < 3; ++c) {
        stretch[c] = {m_left[c]->value(), m_right[c]->value(), m_low[c]->value(),
                      m_high[c]->value(), m_strength[c]->value()};
    }
    return stretch;
}

void StretchPanel::SetLimits(int channel, double low, double high)
{
    m_quiet = true;
    m_low[channel]->setValue(low);
    m_high[channel]->setValue(high);
    m_quiet = false;
}

void StretchPanel::SetGrey(bool grey)
{
    m_names[0]->setText(grey ? "Grey" : "Red");
    for (int c = 1; c < 3; ++c) {
        for (QWidget* widget : std::initializer_list<QWidget*>{
                 m_names[c], m_left[c], m_right[c], m_low[c], m_high[c], m_strength[c]}) {
            widget->setVisible(!grey);
        }
    }
}

}  // namespace lumesta
