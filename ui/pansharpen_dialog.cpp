#include "ui/pansharpen_dialog.h"

#include "ui/more_params_dialog.h"

namespace lumesta {

PanSharpenDialog::PanSharpenDialog(RunCounters& counters, Host& host, QWidget* parent)
    : PanSharpenJobDialog("Pan-Sharpening Module (For 16-bit data)", counters, host, parent)
{
}

void PanSharpenDialog::OnMore()
{
    if (IsRunning()) return;
    MoreParamsDialog more(ProgramHost(), this);
    if (more.exec() == QDialog::Accepted) more.CopyTo(m_job);
}

}  // namespace lumesta
