#pragma once
// "Geostatistical Semivariance (For 16- or 8-bit data)": a view of one SemivarianceJob. OK runs
// ComputeSemivariance with the log document's counters; the table then opens in the desktop's
// text editor.

#include "assess/assess_browse.h"
#include "assess/assess_options.h"
#include "assess/semivariance.h"
#include "assess/semivariance_job.h"
#include "ui/table_tool_dialog.h"

namespace lumesta {

// The semivariance tool's side, for TableToolDialog.
struct SemivarianceTraits {
    using Job = SemivarianceJob;
    static constexpr const char* kTitle = "Geostatistical Semivariance (For 16- or 8-bit data)";
    static constexpr const char* kOutputGroup = "Output File for Image Semivariances";
    static constexpr const char* kCountTip = "The largest lag, in pixels, of the semivariances";
    static constexpr const char* kCountOption = "--max-lag N";
    static constexpr const char* kCommand = "semivariance";
    static constexpr int Job::*kCount = &SemivarianceJob::maxLag;
    // "Maximum Lag (Pixels):" with the lag field, and the fixed orientation labels.
    static QLayout* SpecificationsLayout(QWidget* group, QLineEdit* count);
    static constexpr auto Browse = &BrowseSemivarianceInput;
    static constexpr auto ChooseOutput = &ChooseSemivarianceOutput;
    static constexpr auto Options = &SemivarianceOptions;
    static constexpr auto Run = &ComputeSemivariance;
};

class CSemivarianceDlg : public TableToolDialog<SemivarianceTraits> {
public:
    CSemivarianceDlg(RunCounters& counters, Host& host, QWidget* parent);
};

}  // namespace lumesta
