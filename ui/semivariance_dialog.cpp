#include "ui/semivariance_dialog.h"

#include <QGridLayout>
#include <QLabel>

namespace lumesta {

QLayout* SemivarianceTraits::SpecificationsLayout(QWidget* group, QLineEdit* count)
{
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel("Maximum Lag (Pixels):", group), 0, 0);
    grid->addWidget(count, 0, 1, Qt::AlignLeft);
    grid->addWidget(new QLabel("Orientations (4):", group), 1, 0);
    grid->addWidget(new QLabel("At 0, 45, 90, 135 degrees", group), 1, 1);
    grid->setColumnStretch(2, 1);
    return grid;
}

CSemivarianceDlg::CSemivarianceDlg(RunCounters& counters, Host& host, QWidget* parent)
    : TableToolDialog(counters, host, parent)
{
}

}  // namespace lumesta
