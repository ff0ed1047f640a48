#pragma once
// "About Lumesta": the program icon, its name and version, and an OK button.

#include <QDialog>

namespace lumesta {

class AboutDialog : public QDialog {
public:
    explicit AboutDialog(QWidget* parent);
};

}  // namespace lumesta
