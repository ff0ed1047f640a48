#include "ui/etm_dialog.h"

#include "ui/etm_more_params_dialog.h"

namespace lumesta {

EtmDialog::EtmDialog(RunCounters& counters, Host& host, QWidget* parent)
    : PanSharpenJobDialog("Pan-Sharpening Module (For 8-bit Landsat ETM+ data)", counters, host,
                          parent)
{
}

void EtmDialog::OnMore()
{
    if (IsRunning()) return;
    EtmMoreParamsDialog more(this);
    if (more.exec() == QDialog::Accepted) more.CopyTo(m_job);
}

}  // namespace lumesta
