#pragma once
// One image as the viewer shows it: its reader, the reduced overview of every band (read on
// the worker thread; the first picture and the statistics come from it) and the conversion of
// samples to screen colours through the stretch of each colour channel. The overview is first
// read by picking one pixel per block (quick: only the rows picked are read), then, while the
// worker has nothing else to do, by averaging every block, which replaces it: a reduced view
// of fine regular patterns then shows their mean instead of moiré.

#include <QImage>
#include <array>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "imaging/view_stretch.h"
#include "raster/raster_source.h"

namespace lumesta {

// How one colour channel maps samples to bytes: cut-offs (percent), the limits they gave or
// the user typed, and the nonlinear strength.
struct ChannelStretch {
    double leftPercent = 2;
    double rightPercent = 2;
    double low = 0;
    double high = 0;
    int strength = 0;
};

// Which bands go to red, green and blue; grey shows red's band in all three.
struct BandChoice {
    std::array<int, 3> rgb{0, 0, 0};
    bool grey = false;
};

class DisplayLayer {
public:
    explicit DisplayLayer(std::shared_ptr<RasterSource> source);

    RasterSource& Source() const { return *m_source; }
    std::shared_ptr<RasterSource> SharedSource() const { return m_source; }
    const RasterDescription& Description() const { return m_source->Description(); }

    // Reads the overview on the calling (worker) thread, band by band, updating Progress();
    // stops early when cancel is set. Every band gets at most about samplesPerBand samples.
    void LoadOverview(const std::atomic<bool>& cancel, std::int64_t samplesPerBand);
    bool OverviewReady() const { return m_ready.load(std::memory_order_acquire); }
    int Progress() const { return m_progress.load(); }  // percent of the overview read
    int OverviewStep() const { return m_step; }
    int OverviewColumns() const { return m_columns; }
    int OverviewRows() const { return m_rows; }
    // Valid once OverviewReady(): the overview samples and statistics of a band.
    const std::vector<float>& OverviewBand(int band) const
    {
        return m_overview[static_cast<std::size_t>(band)];
    }
    const BandStatistics& Statistics(int band) const
    {
        return m_statistics[static_cast<std::size_t>(band)];
    }
    // The averaged overview, a slice at a time on the worker once OverviewReady(): true while
    // more remains. Then, on the window thread, AdoptAveragedOverview() puts it (and its
    // statistics) in the picked one's place, once; true when it did.
    bool RefineOverview(const std::atomic<bool>& cancel);
    bool AdoptAveragedOverview();
    // True once the overview shown holds block means (or every pixel, at step 1).
    bool OverviewAveraged() const { return m_adopted; }

    // The cut-off limits of a band's overview for a channel's percentages.
    ViewLimits LimitsOf(int band, const ChannelStretch& channel) const;

    // The sensible first choice of bands: red, green and blue by name, else bands 3, 2, 1 of
    // the tools' blue-green-red order, else grey.
    BandChoice DefaultChoice() const;

private:
    std::shared_ptr<RasterSource> m_source;
    std::vector<std::vector<float>> m_overview;
    std::vector<BandStatistics> m_statistics;
    int m_step = 1;
    int m_columns = 0;
    int m_rows = 0;
    std::atomic<bool> m_ready{false};
    // Written by the worker until m_averagedReady, then taken by the window thread.
    std::vector<std::vector<float>> m_averaged;
    std::vector<BandStatistics> m_averagedStatistics;
    int m_refineBand = 0;
    int m_refineRow = 0;
    std::atomic<bool> m_averagedReady{false};
    bool m_adopted = false;
    std::atomic<int> m_progress{0};
};

// Renders columns × rows samples of the chosen channels (blue, green, red order of the array
// is red, green, blue: index 0 is red) into an RGB image. Channels may be null (black).
QImage RenderSamples(const std::array<const float*, 3>& channels, int columns, int rows,
                     const std::array<ChannelStretch, 3>& stretch);

}  // namespace lumesta
