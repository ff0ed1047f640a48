#pragma once
// The stretch control of the viewer: the histogram of the shown bands, whose limit marks can be
// dragged; presets (min-max, 2 % cut, mean ± 2σ); and for red, green and blue (or grey) the two
// cut-off percentages, the low and high limits they give (which the user may also type or drag)
// and the nonlinear strength. Every change is reported at once.

#include <QWidget>
#include <array>

#include "desktop/viewer/display_layer.h"
#include "desktop/viewer/histogram_view.h"

class QDoubleSpinBox;
class QSpinBox;
class QLabel;

namespace lumesta {

enum class StretchPreset { MinMax, TwoPercent, MeanSigma };

class StretchPanel : public QWidget {
    Q_OBJECT
public:
    explicit StretchPanel(QWidget* parent = nullptr);

    std::array<ChannelStretch, 3> Stretch() const;
    // Shows limits computed elsewhere without reporting a change.
    void SetLimits(int channel, double low, double high);
    // Sets both cut-offs of every channel (reporting CutoffsChanged once per channel).
    void SetCutoffs(double percent);
    HistogramView& Histogram() const { return *m_histogram; }
    // Grey shows one row only.
    void SetGrey(bool grey);
    QDoubleSpinBox* RightCutoff(int channel) const { return m_right[channel]; }
    QDoubleSpinBox* Low(int channel) const { return m_low[channel]; }
    QDoubleSpinBox* High(int channel) const { return m_high[channel]; }
    QDoubleSpinBox* LeftCutoff(int channel) const { return m_left[channel]; }
    QSpinBox* Strength(int channel) const { return m_strength[channel]; }

signals:
    // A cut-off of channel changed: its limits must be computed again.
    void CutoffsChanged(int channel);
    // Limits or strength changed: the picture must be drawn again.
    void StretchChanged();
    // A preset button was pressed.
    void PresetChosen(StretchPreset preset);

private:
    HistogramView* m_histogram = nullptr;
    std::array<QLabel*, 3> m_names{};
    std::array<QDoubleSpinBox*, 3> m_left{};
    std::array<QDoubleSpinBox*, 3> m_right{};
    std::array<QDoubleSpinBox*, 3> m_low{};
    std::array<QDoubleSpinBox*, 3> m_high{};
    std::array<QSpinBox*, 3> m_strength{};
    bool m_quiet = false;
};

}  // namespace lumesta
