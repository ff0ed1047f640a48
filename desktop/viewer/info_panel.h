#pragma once
// The viewer's information panel: what the image is (size, bands, sample type, files, bytes),
// per-band statistics of the reduced read (marked so) and its place on the ground. The text
// fills the panel, however large the dock grows.

#include <QWidget>

#include "desktop/viewer/display_layer.h"

class QTextBrowser;

namespace lumesta {

class InfoPanel : public QWidget {
public:
    explicit InfoPanel(QWidget* parent = nullptr);
    // Describes layer (statistics once its overview is ready); null empties the panel.
    void Describe(const DisplayLayer* layer);
    QString Text() const;

private:
    QTextBrowser* m_text = nullptr;
};

// The panel's text for a layer, as plain lines (also used for the status of a failed open).
QString DescriptionText(const DisplayLayer& layer);

}  // namespace lumesta
