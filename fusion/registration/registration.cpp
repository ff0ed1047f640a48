#include "fusion/registration/registration.h"

#include <algorithm>
#include <cmath>

#include "fusion/registration/degraded_pan.h"
#include "fusion/registration/intensity_fit.h"
#include "fusion/registration/registration_windows.h"
#include "fusion/registration/shift_correlation.h"
#include "fusion/registration/valid_samples.h"

namespace lumesta {
namespace {

constexpr int kWindowSide = 256;     // MS pixels, at most, of one window side
constexpr int kWindowPanSide = 768;  // pan pixels, at most, of one window side
constexpr int kBlockMargin = 2;      // MS pixels of pan read around a window's for later passes
constexpr int kMinSide = 16;         // MS pixels: a smaller usable overlap is too small
constexpr int kSplitSide = 64;       // MS pixels: from here on the scene is looked at in quadrants
constexpr double kMinConfidence = 0.25;
constexpr double kWarpTolerance = 0.5;  // pan pixels by which two windows may disagree
constexpr double kDefaultGain = 0.3;
constexpr double kCountsAsZero = 0.05;  // pan pixels
constexpr int kMaxPasses = 6;           // correlations of one window, at most
constexpr double kSettled = 0.01;       // pan pixels: a pass that moves less ends the passes
constexpr double kRefitAbove = 0.25;    // pan pixels: a window further off is fitted again

// One window of the scene with what was read and degraded for it.
struct WindowData {
    MsWindow window;
    std::vector<std::vector<float>> bands;
    std::vector<std::uint8_t> msValid;
    PanBlock block;  // the pan around the window, read once for every pass
    std::vector<double> pan;
    std::vector<std::uint8_t> panValid;
};

// A window's offset in pan pixels.
struct WindowOffset {
    bool featureless = true;
    double dx = 0.0;
    double dy = 0.0;
    double confidence = 0.0;
};

double Rounded(double value)
{
    const double rounded = std::round(value * 100.0) / 100.0;
    return rounded == 0.0 ? 0.0 : rounded;  // never "-0"
}

class Estimator {
public:
    explicit Estimator(const RegistrationInputs& in)
        : m_in(in), m_panRule{in.panNoData, in.panOwnMask}, m_msRule{in.msNoData, in.msOwnMask}
    {
        double gain = 0.0;
        for (double g : in.msGains) gain += g;
        gain = in.msGains.empty() ? kDefaultGain : gain / static_cast<double>(in.msGains.size());
        m_sampling.ratio = in.ratio;
        m_sampling.sigma = MtfSigma(gain, in.ratio);
        m_sampling.originX = in.placementX + (in.ratio - 1) / 2.0;
        m_sampling.originY = in.placementY + (in.ratio - 1) / 2.0;
    }

    const PanSampling& Sampling() const { return m_sampling; }
    const Validity& MsRule() const { return m_msRule; }
    // Why the last read failed; empty after a cancel.
    const std::string& Error() const { return m_error; }

    // The window's MS bands and where every band is valid. False when cancelled or unreadable.
    bool ReadMs(WindowData& data) const
    {
        const std::size_t bands = m_in.ms.size();
        SampleWindow read;
        read.x0 = data.window.x0;
        read.y0 = data.window.y0;
        read.columns = data.window.columns;
        read.rows = data.window.rows;
        data.bands.resize(bands);
        std::vector<std::uint8_t> valid;
        for (std::size_t band = 0; band < bands; ++band) {
            if (m_in.cancelled && m_in.cancelled()) return false;
            if (!ReadValidSamples(m_in.ms[band], read, m_msRule, data.bands[band],
                                  band == 0 ? data.msValid : valid, m_error)) {
                return false;
            }
            for (std::size_t i = 0; band > 0 && i < valid.size(); ++i) data.msValid[i] &= valid[i];
        }
        return true;
    }

    // The pan degraded with the MS pixels' centres moved by (dx, dy) pan pixels; the pan is
    // read again only when the move leaves the part read before. False when cancelled or
    // unreadable.
    bool Degrade(WindowData& data, double dx, double dy) const
    {
        PanSampling at = m_sampling;
        at.originX += dx;
        at.originY += dy;
        const RasterDescription& pan = m_in.pan.source->Description();
        if (data.block.samples.empty() ||
            !BlockHolds(data.block, SampledPan(at, data.window, 0), pan.width, pan.height)) {
            if (m_in.cancelled && m_in.cancelled()) return false;
            if (!ReadPanBlock(m_in.pan, m_panRule,
                              SampledPan(at, data.window, kBlockMargin * m_in.ratio), data.block,
                              m_error)) {
                return false;
            }
        }
        DegradePanWindow(data.block, at, data.window, data.pan, data.panValid);
        return true;
    }

    // The offset of a window whose pan was degraded at (dx, dy): the correlation's shift in MS
    // pixels, scaled to pan pixels, added to where the pan was sampled.
    WindowOffset Correlate(const WindowData& data, const IntensityFit& fit, double dx,
                           double dy) const
    {
        std::vector<const std::vector<float>*> bands;
        for (const auto& band : data.bands) bands.push_back(&band);
        std::vector<double> intensity;
        ApplyIntensity(fit, bands, intensity);
        std::vector<std::uint8_t> valid(data.msValid.size());
        for (std::size_t i = 0; i < valid.size(); ++i)
            valid[i] = data.msValid[i] & data.panValid[i];
        const WindowShift shift =
            EstimateShift(intensity, data.pan, valid, data.window.columns, data.window.rows);
        WindowOffset offset;
        offset.featureless = shift.featureless;
        offset.dx = dx + m_in.ratio * shift.dx;
        offset.dy = dy + m_in.ratio * shift.dy;
        offset.confidence = shift.confidence;
        return offset;
    }

    // The window's offset from a first estimate made with the pan degraded elsewhere: again
    // with the pan sampled at each estimate until it settles. The taper pulls each estimate
    // towards where the pan was sampled (by about a fifth of the remaining shift), so the
    // estimate converges where that pull vanishes: at the shift itself.
    std::optional<WindowOffset> Refine(WindowData& data, const IntensityFit& fit,
                                       WindowOffset offset, double dx, double dy) const
    {
        for (int pass = 1; pass < kMaxPasses && !offset.featureless; ++pass) {
            if (std::fabs(offset.dx - dx) < kSettled && std::fabs(offset.dy - dy) < kSettled) break;
            dx = offset.dx;
            dy = offset.dy;
            if (!Degrade(data, dx, dy)) return std::nullopt;
            const WindowOffset next = Correlate(data, fit, dx, dy);
            if (next.featureless) break;
            offset = next;
        }
        return offset;
    }

    // The window's offset, with the pan at the placement first.
    std::optional<WindowOffset> Estimate(WindowData& data, const IntensityFit& fit) const
    {
        if (!Degrade(data, 0.0, 0.0)) return std::nullopt;
        return Refine(data, fit, Correlate(data, fit, 0.0, 0.0), 0.0, 0.0);
    }

    int WindowSide() const
    {
        return std::clamp(kWindowPanSide / m_in.ratio, kMinSide, kWindowSide);
    }

private:
    const RegistrationInputs& m_in;
    Validity m_panRule;
    Validity m_msRule;
    PanSampling m_sampling;
    mutable std::string m_error;
};

// The windows looked at for the scene's offset: one per quadrant of a large enough area.
std::vector<MsWindow> SceneWindows(const DetailMap& map, int side)
{
    const MsWindow& area = map.area;
    if (area.columns < kSplitSide || area.rows < kSplitSide) return {BestWindow(map, area, side)};
    std::vector<MsWindow> windows;
    for (int qy = 0; qy < 2; ++qy) {
        for (int qx = 0; qx < 2; ++qx) {
            MsWindow quadrant;
            quadrant.x0 = area.x0 + qx * (area.columns / 2);
            quadrant.y0 = area.y0 + qy * (area.rows / 2);
            quadrant.columns = qx == 0 ? area.columns / 2 : area.columns - area.columns / 2;
            quadrant.rows = qy == 0 ? area.rows / 2 : area.rows - area.rows / 2;
            windows.push_back(BestWindow(map, quadrant, side));
        }
    }
    return windows;
}

// The offsets of the scene's windows; none when no pixel of them was valid.
struct SceneOffsets {
    std::vector<WindowOffset> windows;
    bool anyValid = true;
};

// Combines the windows' offsets into the scene's, or says why it does not hold: the mean of the
// confident windows weighted by their confidence (a window over water or cloud says little and
// its shift may be anything), whose own spread tells a warp from a shift.
RegistrationEstimate Combine(const SceneOffsets& scene)
{
    const std::vector<WindowOffset>& offsets = scene.windows;
    RegistrationEstimate estimate;
    double weight = 0.0;
    int confident = 0;
    const WindowOffset* best = nullptr;
    for (const WindowOffset& offset : offsets) {
        if (offset.featureless) continue;
        if (!best || offset.confidence > best->confidence) best = &offset;
        if (offset.confidence < kMinConfidence) continue;
        weight += offset.confidence;
        ++confident;
    }
    if (!best) {
        estimate.reason = scene.anyValid ? "the scene is featureless"
                                         : "no valid pixels where the MS and the pan overlap";
        return estimate;
    }
    if (confident == 0) {
        estimate.dx = Rounded(best->dx);
        estimate.dy = Rounded(best->dy);
        estimate.confidence = Rounded(best->confidence);
        estimate.reason = "low confidence (" + DecimalText(estimate.confidence) + ")";
        return estimate;
    }
    for (const WindowOffset& offset : offsets) {
        if (offset.featureless || offset.confidence < kMinConfidence) continue;
        estimate.dx += offset.confidence / weight * offset.dx;
        estimate.dy += offset.confidence / weight * offset.dy;
    }
    double spread = 0.0;
    for (const WindowOffset& a : offsets) {
        for (const WindowOffset& b : offsets) {
            if (a.featureless || b.featureless || a.confidence < kMinConfidence ||
                b.confidence < kMinConfidence) {
                continue;
            }
            spread = std::max({spread, std::fabs(a.dx - b.dx), std::fabs(a.dy - b.dy)});
        }
    }
    estimate.dx = Rounded(estimate.dx);
    estimate.dy = Rounded(estimate.dy);
    estimate.confidence = Rounded(weight / confident);
    if (spread > kWarpTolerance) {
        estimate.reason = "parts of the scene disagree by " + DecimalText(spread) +
                          " pan pixels (a warp, not a shift)";
    } else {
        estimate.applicable = true;
    }
    return estimate;
}

bool AnyValid(const std::vector<WindowData>& data)
{
    for (const WindowData& window : data) {
        for (std::size_t i = 0; i < window.msValid.size(); ++i) {
            if (window.msValid[i] && window.panValid[i]) return true;
        }
    }
    return false;
}

// The intensity fitted over the windows together, to their pan as last degraded.
bool FitWindows(const std::vector<WindowData>& data, IntensityFit& fit)
{
    std::vector<FitSamples> samples;
    std::vector<std::vector<std::uint8_t>> valid(data.size());
    for (std::size_t w = 0; w < data.size(); ++w) {
        valid[w] = data[w].msValid;
        for (std::size_t i = 0; i < valid[w].size(); ++i) valid[w][i] &= data[w].panValid[i];
        FitSamples s;
        for (const auto& band : data[w].bands) s.bands.push_back(&band);
        s.target = &data[w].pan;
        s.valid = &valid[w];
        samples.push_back(s);
    }
    return FitIntensity(samples, fit);
}

// The scene's windows: read, a first fit and correlation with the pan at the placement, and each
// window's estimate refined from there. A window found well off is first fitted again with the
// pan sampled at its estimate: fitted to a misplaced pan, the least squares favour the blurrier
// bands, and bands slightly off each other then move the intensity.
std::optional<SceneOffsets> EstimateWindows(const Estimator& estimator,
                                            const std::vector<MsWindow>& windows,
                                            std::optional<IntensityFit>& fit)
{
    std::vector<WindowData> data(windows.size());
    for (std::size_t w = 0; w < windows.size(); ++w) {
        data[w].window = windows[w];
        if (!estimator.ReadMs(data[w]) || !estimator.Degrade(data[w], 0.0, 0.0))
            return std::nullopt;
    }
    IntensityFit first;
    if (!FitWindows(data, first)) return SceneOffsets{{}, AnyValid(data)};
    fit = first;
    std::vector<WindowOffset> offsets;
    double furthest = 0.0;
    for (WindowData& window : data) {
        offsets.push_back(estimator.Correlate(window, first, 0.0, 0.0));
        if (offsets.back().featureless) continue;
        furthest = std::max({furthest, std::fabs(offsets.back().dx), std::fabs(offsets.back().dy)});
    }
    std::vector<WindowOffset> at(windows.size());  // where each window's pan is degraded
    if (furthest > kRefitAbove) {
        for (std::size_t w = 0; w < data.size(); ++w) {
            if (!offsets[w].featureless) at[w] = offsets[w];
            if (!estimator.Degrade(data[w], at[w].dx, at[w].dy)) return std::nullopt;
        }
        IntensityFit second;
        if (FitWindows(data, second)) fit = second;
        for (std::size_t w = 0; w < data.size(); ++w) {
            offsets[w] = estimator.Correlate(data[w], *fit, at[w].dx, at[w].dy);
        }
    }
    for (std::size_t w = 0; w < data.size(); ++w) {
        const auto offset = estimator.Refine(data[w], *fit, offsets[w], at[w].dx, at[w].dy);
        if (!offset) return std::nullopt;
        offsets[w] = *offset;
    }
    return SceneOffsets{offsets, true};
}

// The K × K blocks of the MS grid, each estimated in its best window with the scene's fit.
std::optional<std::vector<BlockOffset>> EstimateBlocks(const Estimator& estimator,
                                                       const DetailMap& map, int msWidth,
                                                       int msHeight, int grid,
                                                       const std::optional<IntensityFit>& fit)
{
    std::vector<BlockOffset> blocks;
    const MsWindow& area = map.area;
    for (int row = 0; row < grid; ++row) {
        for (int column = 0; column < grid; ++column) {
            BlockOffset block;
            block.row = row;
            block.column = column;
            const int x0 =
                std::max(area.x0, static_cast<int>(std::int64_t{column} * msWidth / grid));
            const int x1 = std::min(area.x0 + area.columns,
                                    static_cast<int>(std::int64_t{column + 1} * msWidth / grid));
            const int y0 = std::max(area.y0, static_cast<int>(std::int64_t{row} * msHeight / grid));
            const int y1 = std::min(area.y0 + area.rows,
                                    static_cast<int>(std::int64_t{row + 1} * msHeight / grid));
            if (fit && x1 - x0 >= kMinSide && y1 - y0 >= kMinSide) {
                WindowData data;
                data.window =
                    BestWindow(map, MsWindow{x0, y0, x1 - x0, y1 - y0}, estimator.WindowSide());
                if (!estimator.ReadMs(data)) return std::nullopt;
                const auto offset = estimator.Estimate(data, *fit);
                if (!offset) return std::nullopt;
                if (!offset->featureless) {
                    block.dx = Rounded(offset->dx);
                    block.dy = Rounded(offset->dy);
                    block.confidence = Rounded(offset->confidence);
                }
            }
            blocks.push_back(block);
        }
    }
    return blocks;
}

}  // namespace

std::optional<RegistrationEstimate> EstimateRegistration(const RegistrationInputs& inputs,
                                                         std::string& error)
{
    error.clear();
    const Estimator estimator(inputs);
    RegistrationEstimate estimate;
    if (!inputs.pan.source || inputs.ms.empty()) {
        estimate.reason = "no pan or no MS bands";
        return estimate;
    }
    const RasterDescription& pan = inputs.pan.source->Description();
    const RasterDescription& ms = inputs.ms.front().source->Description();
    const MsWindow area =
        UsableArea(ms.width, ms.height, pan.width, pan.height, estimator.Sampling());
    if (area.columns < kMinSide || area.rows < kMinSide) {
        estimate.reason = "the MS and the pan overlap in less than " + std::to_string(kMinSide) +
                          " x " + std::to_string(kMinSide) + " MS pixels";
        if (inputs.grid > 0) {
            for (int i = 0; i < inputs.grid * inputs.grid; ++i) {
                estimate.blocks.push_back(BlockOffset{i / inputs.grid, i % inputs.grid});
            }
        }
        return estimate;
    }
    DetailMap map;
    if (!MapDetail(inputs.ms, estimator.MsRule(), area, map, inputs.cancelled, error))
        return std::nullopt;
    std::optional<IntensityFit> fit;
    const auto offsets = EstimateWindows(estimator, SceneWindows(map, estimator.WindowSide()), fit);
    if (!offsets) {
        error = estimator.Error();
        return std::nullopt;
    }
    estimate = Combine(*offsets);
    if (inputs.grid > 0) {
        const auto blocks = EstimateBlocks(estimator, map, ms.width, ms.height, inputs.grid, fit);
        if (!blocks) {
            error = estimator.Error();
            return std::nullopt;
        }
        estimate.blocks = *blocks;
    }
    return estimate;
}

std::string DecimalText(double value)
{
    const long long hundredths = std::llround(value * 100.0);
    const long long whole = hundredths < 0 ? -hundredths : hundredths;
    const std::string text =
        std::to_string(whole / 100) + (whole % 100 < 10 ? ".0" : ".") + std::to_string(whole % 100);
    return hundredths < 0 ? "-" + text : text;
}

PanOffset AppliedOffset(const RegistrationEstimate& estimate)
{
    if (!estimate.applicable) return {};
    const auto counted = [](double value) {
        return std::fabs(value) <= kCountsAsZero ? 0.0 : value;
    };
    return {counted(estimate.dx), counted(estimate.dy)};
}

}  // namespace lumesta
