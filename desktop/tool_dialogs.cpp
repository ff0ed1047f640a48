#include "desktop/tool_dialogs.h"

#include "ui/combine_dialog.h"
#include "ui/etm_dialog.h"
#include "ui/haar_dialog.h"
#include "ui/image_stats_dialog.h"
#include "ui/pansharpen_dialog.h"
#include "ui/quality_dialog.h"
#include "ui/semivariance_dialog.h"

namespace lumesta {

std::unique_ptr<ToolDialog> MakeToolDialog(ToolDialogKind dialog, RunCounters& counters,
                                           Host& host, QWidget* parent, const char* sensor,
                                           std::function<void(const RunImages&)> showResult)
{
    switch (dialog) {
        case ToolDialogKind::BandCombination16:
            return std::make_unique<CBandCombination16Dlg>(counters, host, parent);
        case ToolDialogKind::BandCombination8:
            return std::make_unique<CBandCombination8Dlg>(counters, host, parent);
        case ToolDialogKind::PanSharpen16:
            return std::make_unique<PanSharpenDialog>(counters, host, parent,
                                                      sensor ? sensor : "generic");
        case ToolDialogKind::PanSharpenEtm:
            return std::make_unique<EtmDialog>(counters, host, parent);
        case ToolDialogKind::Semivariance:
            return std::make_unique<CSemivarianceDlg>(counters, host, parent);
        case ToolDialogKind::ImageStatistics:
            return std::make_unique<CImageStatsDlg>(counters, host, parent);
        case ToolDialogKind::HaarWavelet:
            return std::make_unique<CHaarWaveletDlg>(counters, host, parent);
        case ToolDialogKind::FusionQuality: {
            auto quality = std::make_unique<FusionQualityDialog>(counters, host, parent);
            quality->SetResultViewer(std::move(showResult));
            return quality;
        }
        default:
            return nullptr;
    }
}

}  // namespace lumesta
