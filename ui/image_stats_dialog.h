#pragma once
// "Multi-Resolution Image Statistics (For 16- or 8-bit data)": a view of one ImageStatsJob. OK
// runs ComputeImageStatistics with the log document's counters; the table then opens in the
// desktop's text editor.

#include "assess/assess_browse.h"
#include "assess/assess_options.h"
#include "assess/image_stats.h"
#include "assess/image_stats_job.h"
#include "ui/table_tool_dialog.h"

namespace lumesta {

// The statistics tool's side, for TableToolDialog.
struct ImageStatsTraits {
    using Job = ImageStatsJob;
    static constexpr const char* kTitle =
        "Multi-Resolution Image Statistics (For 16- or 8-bit data)";
    static constexpr const char* kOutputGroup = "Output File for Image Statistics";
    static constexpr const char* kCountTip = "The resolution level of the statistics";
    static constexpr const char* kCountOption = "--level N";
    static constexpr const char* kCommand = "stats";
    static constexpr int Job::*kCount = &ImageStatsJob::level;
    // "Level" with the level field and the note on level 0 beside it.
    static QLayout* SpecificationsLayout(QWidget* group, QLineEdit* count);
    static constexpr auto Browse = &BrowseImageStatsInput;
    static constexpr auto ChooseOutput = &ChooseImageStatsOutput;
    static constexpr auto Options = &ImageStatsOptions;
    static constexpr auto Run = &ComputeImageStatistics;
};

class CImageStatsDlg : public TableToolDialog<ImageStatsTraits> {
public:
    CImageStatsDlg(RunCounters& counters, Host& host, QWidget* parent);
};

}  // namespace lumesta
