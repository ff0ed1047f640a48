#include "ui/image_stats_dialog.h"

#include <QHBoxLayout>
#include <QLabel>

namespace lumesta {

QLayout* ImageStatsTraits::SpecificationsLayout(QWidget* group, QLineEdit* count)
{
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel("Level", group));
    row->addWidget(count);
    row->addSpacing(12);
    row->addWidget(new QLabel("(if level = 0, calculate statistics of the image itself)", group));
    row->addStretch();
    return row;
}

CImageStatsDlg::CImageStatsDlg(RunCounters& counters, Host& host, QWidget* parent)
    : TableToolDialog(counters, host, parent)
{
}

}  // namespace lumesta
