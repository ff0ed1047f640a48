#include "fusion/injection/energy_gain.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "fusion/injection/injection_model.h"
#include "fusion/parallel_rows.h"
#include "imaging/mtf_filter.h"

namespace lumesta {
namespace {

const char kWriteFailure[] =
    "Error when writing output file.\nYou may wish to copy files from CD-ROM to hard disk.";

struct Moments {
    double mean = 0;
    double deviation = 0;  // population standard deviation
};

// The degraded pair's images in a temporary file: image k < bands is M_c of band k, the
// images after it P_c degraded with each of the bands' distinct Gaussians.
struct CoarsePair {
    std::int64_t cropWidth = 0;  // the MS crop, sides multiples of the ratio
    std::int64_t cropHeight = 0;
    DegradedPans images;
};

// Degrades every band of the crop and P_c with each band Gaussian, one image per job, on every
// core. False when a temporary file could not give or take rows.
bool DegradeOnceMore(const InjectionModel& model, const MsCopy& ms, CoarsePair& pair,
                     const std::function<bool()>& pump, bool& going)
{
    const int n = model.bands;
    const int r = model.ratio;
    const std::int64_t width = pair.images.Width();
    std::vector<char> done(static_cast<std::size_t>(n + model.fusedLows), 0);
    going = ForEachRowInParallel(
        n + model.fusedLows,
        [&](std::int64_t job) {
            const bool band = job < n;
            ImageRows source(band ? ms.bands : model.lows,
                             band ? static_cast<int>(job) : model.panLow, pair.cropWidth,
                             pair.cropHeight);
            const double gain = band ? model.inputs.msGains[job] : model.lowGains[job - n];
            MtfFilterStream degraded(source, MtfGaussian(gain, r), r, r / 2);
            std::vector<float> row(static_cast<std::size_t>(width));
            for (std::int64_t y = 0; y < degraded.Height(); ++y) {
                const double* samples = degraded.Row(y);
                std::copy(samples, samples + width, row.begin());
                if (degraded.Failed() ||
                    !pair.images.PutRows(static_cast<int>(job), y, 1, row.data())) {
                    return;
                }
            }
            done[job] = 1;
        },
        pump);
    return std::all_of(done.begin(), done.end(), [](char d) { return d != 0; });
}

// Mean and deviation of one coarse image over its valid samples: those sitting on a valid MS
// sample (row R·i + R/2, column R·j + R/2). Two passes, each sum in sample order.
bool CoarseMoments(const InjectionModel& model, const MsCopy& ms, const DegradedPans& images,
                   int image, Moments& moments)
{
    const int r = model.ratio;
    const std::int64_t width = images.Width();
    std::vector<float> row(static_cast<std::size_t>(width));
    std::vector<float> valid(static_cast<std::size_t>(model.msWidth), 1.0f);
    const bool masked = model.scene.Masked();
    double sum = 0, squares = 0;
    std::int64_t count = 0;
    for (int pass = 0; pass < 2; ++pass) {
        for (std::int64_t i = 0; i < images.Height(); ++i) {
            if (!images.GetRows(image, i, 1, row.data()) ||
                (masked && !ms.valid.GetRows(0, r * i + r / 2, 1, valid.data()))) {
                return false;
            }
            for (std::int64_t j = 0; j < width; ++j) {
                if (valid[r * j + r / 2] == 0) continue;
                if (pass == 0) {
                    sum += row[j];
                    ++count;
                } else {
                    squares += (row[j] - moments.mean) * (row[j] - moments.mean);
                }
            }
        }
        if (count == 0) return true;
        if (pass == 0) moments.mean = sum / static_cast<double>(count);
    }
    moments.deviation = std::sqrt(squares / static_cast<double>(count));
    return true;
}

// The sums of one band at MS scale: Σ (M − M̃_c)² and Σ d² over the crop's valid samples.
bool BandSums(const InjectionModel& model, const MsCopy& ms, const CoarsePair& pair, int k,
              double scale, double offset, double& target, double& detail)
{
    const int n = model.bands;
    const std::int64_t coarseWidth = pair.images.Width(), coarseHeight = pair.images.Height();
    ImageRows coarseBand(pair.images, k, coarseWidth, coarseHeight);
    ImageRows coarseLow(pair.images, n + model.lowOfBand[k], coarseWidth, coarseHeight);
    UpsampledRows band(coarseBand, model.ratio);
    UpsampledRows low(coarseLow, model.ratio);
    ImageRows pan(model.lows, model.panLow, pair.cropWidth, pair.cropHeight);
    ImageRows original(ms.bands, k, pair.cropWidth, pair.cropHeight);
    std::unique_ptr<ImageRows> valid;
    if (model.scene.Masked()) {
        valid = std::make_unique<ImageRows>(ms.valid, 0, pair.cropWidth, pair.cropHeight);
    }
    target = detail = 0;
    for (std::int64_t y = 0; y < pair.cropHeight; ++y) {
        const double* m = band.Row(y);
        const double* l = low.Row(y);
        const double* p = pan.Row(y);
        const double* o = original.Row(y);
        const double* v = valid ? valid->Row(y) : nullptr;
        double rowTarget = 0, rowDetail = 0;
        for (std::int64_t x = 0; x < pair.cropWidth; ++x) {
            if (v != nullptr && v[x] == 0) continue;
            const double t = o[x] - m[x];
            const double panEq = scale * p[x] + offset;
            const double lowEq = scale * l[x] + offset;
            const double d = lowEq > 0 ? m[x] * (panEq - lowEq) / lowEq : 0.0;
            rowTarget += t * t;
            rowDetail += d * d;
        }
        target += rowTarget;
        detail += rowDetail;
    }
    return !coarseBand.Failed() && !coarseLow.Failed() && !pan.Failed() && !original.Failed() &&
           !(valid && valid->Failed());
}

}  // namespace

StepResult EstimateEnergyGain(const InjectionModel& model, const MsCopy& ms, double& alpha,
                              Host& host, const std::function<bool()>& pump)
{
    alpha = 1;
    const int n = model.bands;
    const int r = model.ratio;
    CoarsePair pair;
    pair.cropWidth = model.msWidth / r * r;
    pair.cropHeight = model.msHeight / r * r;
    if (pair.cropWidth == 0 || pair.cropHeight == 0) return StepResult::Ok;
    if (!pair.images.Create(model.inputs.tempBeside, n + model.fusedLows, pair.cropWidth / r,
                            pair.cropHeight / r, host)) {
        return StepResult::Failed;
    }
    bool going = true;
    const bool degraded = DegradeOnceMore(model, ms, pair, pump, going);
    if (!going) return StepResult::Cancelled;
    std::vector<Moments> moments(static_cast<std::size_t>(n + model.fusedLows));
    std::vector<char> read(moments.size(), 0);
    if (degraded) {
        going = ForEachRowInParallel(
            n + model.fusedLows,
            [&](std::int64_t i) {
                read[i] = CoarseMoments(model, ms, pair.images, static_cast<int>(i), moments[i]);
            },
            pump);
        if (!going) return StepResult::Cancelled;
    }
    if (std::any_of(read.begin(), read.end(), [](char done) { return done == 0; })) {
        host.ShowMessage(kWriteFailure);
        return StepResult::Failed;
    }
    std::vector<double> target(static_cast<std::size_t>(n)), detail(target.size());
    std::vector<char> summed(target.size(), 0);
    going = ForEachRowInParallel(
        n,
        [&](std::int64_t k) {
            const Moments& band = moments[k];
            const Moments& low = moments[n + model.lowOfBand[k]];
            const double scale = low.deviation > 0 ? band.deviation / low.deviation : 0.0;
            const double offset = band.mean - scale * low.mean;
            summed[k] =
                BandSums(model, ms, pair, static_cast<int>(k), scale, offset, target[k], detail[k]);
        },
        pump);
    if (!going) return StepResult::Cancelled;
    if (std::any_of(summed.begin(), summed.end(), [](char s) { return s == 0; })) {
        host.ShowMessage(kWriteFailure);
        return StepResult::Failed;
    }
    double sum = 0;
    int counted = 0;
    for (int k = 0; k < n; ++k) {
        if (!(detail[k] > 0)) continue;
        sum += std::sqrt(target[k] / detail[k]);
        ++counted;
    }
    if (counted > 0) alpha = sum / counted;
    return StepResult::Ok;
}

}  // namespace lumesta
