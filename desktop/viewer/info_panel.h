#pragma once
// The viewer's information panel: what the image is (size, bands, sample type, files, bytes),
// per-band statistics of the decimated read (marked so), its place on the ground, and a
// histogram of the displayed bands with their stretch limits.

#include <QWidget>
#include <array>
#include <memory>
#include <vector>

#include "desktop/viewer/display_layer.h"

class QTextBrowser;

namespace lumesta {

class HistogramView : public QWidget {
public:
    explicit HistogramView(QWidget* parent = nullptr);
    // The displayed bands' overview samples (null for an unused channel) and their limits.
    void Show(const std::array<const std::vector<float>*, 3>& bands,
              const std::array<ChannelStretch, 3>& stretch, bool grey);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::array<std::vector<std::int64_t>, 3> m_counts;
    std::array<ChannelStretch, 3> m_stretch;
    double m_low = 0;
    double m_high = 1;
    bool m_grey = false;
};

class InfoPanel : public QWidget {
public:
    explicit InfoPanel(QWidget* parent = nullptr);
    // Describes layer (statistics once its overview is ready); null empties the panel.
    void Describe(const DisplayLayer* layer);
    QString Text() const;
    HistogramView& Histogram() { return *m_histogram; }

private:
    QTextBrowser* m_text = nullptr;
    HistogramView* m_histogram = nullptr;
};

// The panel's text for a layer, as plain lines (also used for the status of a failed open).
QString DescriptionText(const DisplayLayer& layer);

}  // namespace lumesta
