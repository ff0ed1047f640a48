#pragma once
// Scenes for the detail-injection engine's tests: generated pans and MS bands of any band count,
// sample type and ratio written as raw sources, a fixture that fuses them through both passes,
// and a scene with a known truth at pan scale.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "fusion/injection/injection_fusion.h"
#include "fusion/injection/injection_model.h"
#include "fusion/injection/upsample_weights.h"
#include "imaging/interpolator23.h"
#include "imaging/mtf_filter.h"
#include "imaging/row_stream.h"
#include "imaging/sensor_gains.h"
#include "raster/raster_source.h"
#include "tests/support/fake_host.h"
#include "tests/support/temp_dir.h"

namespace lumesta::injection_test {

using testing::FakeHost;
using testing::TempDir;
using Values = std::vector<double>;

// A scene of any band count, sample type and ratio, its samples as whole numbers.
struct AnyScene {
    int width = 0;
    int height = 0;
    int ratio = 4;
    SampleType type = SampleType::Int16;
    Values pan;
    std::vector<Values> ms;
    int msWidth = 0;  // the MS as delivered: W / ratio × H / ratio when 0
    int msHeight = 0;
    double shiftX = 0;
    double shiftY = 0;
    std::optional<double> panNoData;
    std::optional<double> msNoData;
};

// A band upsampled by the 23-tap interpolator's weights, rows first, then columns.
inline Values Upsample(const Values& band, int msWidth, int msHeight, int ratio)
{
    const AxisWeights columns(msWidth, ratio), rows(msHeight, ratio);
    const int width = msWidth * ratio;
    Values wide(static_cast<std::size_t>(width) * msHeight), out(wide.size() * ratio);
    for (int y = 0; y < msHeight; ++y) columns.Apply(band.data() + y * msWidth, &wide[y * width]);
    Values column(msHeight), tall(static_cast<std::size_t>(msHeight) * ratio);
    for (int x = 0; x < width; ++x) {
        for (int y = 0; y < msHeight; ++y) column[y] = wide[y * width + x];
        rows.Apply(column.data(), tall.data());
        for (int y = 0; y < msHeight * ratio; ++y) out[y * width + x] = tall[y];
    }
    return out;
}

// Writes values as little-endian samples of type and opens them as a one-band raw source.
inline std::shared_ptr<RasterSource> RawBand(const std::string& path, const Values& values,
                                             int width, int height, SampleType type)
{
    const int bytes = SampleBytes(type);
    std::string data(values.size() * static_cast<std::size_t>(bytes), '\0');
    for (std::size_t i = 0; i < values.size(); ++i) {
        const auto v = static_cast<std::int64_t>(values[i]);
        for (int b = 0; b < bytes; ++b)
            data[i * bytes + b] = static_cast<char>((v >> (8 * b)) & 0xff);
    }
    testing::WriteFileBytes(path, data);
    RasterDescription description;
    description.width = width;
    description.height = height;
    description.bands = 1;
    description.type = type;
    RawLayout layout;
    layout.rowStride = std::int64_t{width} * bytes;
    layout.bandStride = layout.rowStride * height;
    layout.pixelStride = bytes;
    std::string error;
    return OpenRawSource(path, description, layout, error);
}

inline Values ReadValues(const std::string& path, SampleType type)
{
    const std::string data = testing::ReadFileBytes(path);
    const int bytes = SampleBytes(type);
    Values values(data.size() / static_cast<std::size_t>(bytes));
    for (std::size_t i = 0; i < values.size(); ++i) {
        std::uint32_t u = 0;
        for (int b = 0; b < bytes; ++b)
            u |= std::uint32_t{static_cast<std::uint8_t>(data[i * bytes + b])} << (8 * b);
        values[i] =
            type == SampleType::Int16 ? static_cast<std::int16_t>(u) : static_cast<double>(u);
    }
    return values;
}

class InjectionTest : public ::testing::Test {
protected:
    // The run's inputs for the scene, read from raw files of the test's folder.
    InjectionInputs SceneInputs(const AnyScene& scene, FusionMethod method,
                                const std::vector<double>& msGains, double panGain)
    {
        InjectionInputs inputs;
        inputs.method = method;
        inputs.width = scene.width;
        inputs.height = scene.height;
        inputs.ratio = scene.ratio;
        inputs.type = scene.type;
        inputs.pan = {
            RawBand(dir.File("pan.raw"), scene.pan, scene.width, scene.height, scene.type), 0};
        const int msWidth = scene.msWidth > 0 ? scene.msWidth : scene.width / scene.ratio;
        const int msHeight = scene.msHeight > 0 ? scene.msHeight : scene.height / scene.ratio;
        for (std::size_t k = 0; k < scene.ms.size(); ++k) {
            inputs.ms.push_back({RawBand(dir.File("ms" + std::to_string(k) + ".raw"), scene.ms[k],
                                         msWidth, msHeight, scene.type),
                                 0});
        }
        inputs.shiftX = scene.shiftX;
        inputs.shiftY = scene.shiftY;
        inputs.panNoData = scene.panNoData;
        inputs.msNoData = scene.msNoData;
        inputs.msGains = msGains;
        inputs.panGain = panGain;
        inputs.tempBeside = dir.File("pan.raw");
        return inputs;
    }

    // Fuses the scene with a method through both passes, strips of stripRows pan rows.
    std::vector<Values> FuseAny(const AnyScene& scene, FusionMethod method, std::int64_t stripRows,
                                const std::vector<double>& msGains, double panGain,
                                const std::array<int, 3>& amounts = {0, 0, 0})
    {
        InjectionModel model(SceneInputs(scene, method, msGains, panGain));
        model.measureStripRows = measureStripRows;
        model.separateCorrectionPass = separateCorrectionPass;
        const auto going = [] { return true; };
        EXPECT_EQ(FitInjectionModel(model, "read", host, going), StepResult::Ok);
        std::vector<RawFile> files(scene.ms.size());
        for (std::size_t k = 0; k < files.size(); ++k) {
            files[k].CreateForReadWrite(dir.File("f" + std::to_string(k)));
        }
        const auto progress = host.OpenProgress("", ProgressOwner::ToolDialog);
        EXPECT_EQ(FuseInjectedImage(model, WriteRowsTo(files, host), amounts, stripRows, "read",
                                    *progress, host, going),
                  StepResult::Ok);
        std::vector<Values> fused;
        for (std::size_t k = 0; k < files.size(); ++k) {
            files[k].Close();
            fused.push_back(ReadValues(dir.File("f" + std::to_string(k)), scene.type));
        }
        return fused;
    }

    // The sensor's gains of four bands.
    std::vector<Values> FuseWith(const AnyScene& scene, FusionMethod method, std::int64_t stripRows,
                                 const char* sensorName,
                                 const std::array<int, 3>& amounts = {0, 0, 0})
    {
        const SensorGains sensor = *FindSensor(sensorName);
        return FuseAny(scene, method, stripRows, {sensor.ms.begin(), sensor.ms.end()}, sensor.pan,
                       amounts);
    }

    TempDir dir;
    FakeHost host;
    std::int64_t measureStripRows = 0;  // the correcting methods' pan-scale pass; 0: by budget
    bool separateCorrectionPass = false;  // measure and back-project before the fusion pass
};

inline AnyScene RandomAnyScene(int width, int height, int ratio, int bands, unsigned seed)
{
    std::srand(seed);
    AnyScene scene;
    scene.width = width;
    scene.height = height;
    scene.ratio = ratio;
    scene.pan.resize(static_cast<std::size_t>(width) * height);
    for (auto& value : scene.pan) value = 200 + std::rand() % 1800;
    scene.ms.resize(static_cast<std::size_t>(bands));
    for (auto& band : scene.ms) {
        band.resize(static_cast<std::size_t>(width / ratio) * (height / ratio));
        for (auto& value : band) value = 100 + std::rand() % 1900;
    }
    return scene;
}

// A generated scene with a known truth at pan scale: smooth shading, sharp-edged fields of
// different spectra and fine texture. The MS is the truth degraded with the sensor's MTF
// Gaussians and decimated; the pan a brighter weighted sum of the true bands.
struct TruthScene {
    AnyScene scene;
    std::array<Values, 4> truth;
};

inline TruthScene MakeTruthScene(int side, const SensorGains& sensor)
{
    TruthScene made;
    made.scene.width = made.scene.height = side;
    made.scene.pan.resize(static_cast<std::size_t>(side) * side);
    const double spectra[3][4] = {{300, 450, 380, 900}, {500, 520, 600, 700}, {200, 250, 180, 300}};
    for (int k = 0; k < 4; ++k) made.truth[k].resize(made.scene.pan.size());
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const int field = (x > side / 3 + y / 4) + (y > 2 * side / 3 && x < side / 2);
            const int i = y * side + x;
            for (int k = 0; k < 4; ++k) {
                made.truth[k][i] = spectra[field][k] + 2.0 * (x + y) +
                                   40 * std::sin(0.9 * x + k) * std::cos(0.7 * y);
            }
            made.scene.pan[i] = std::round(1.1 * (0.2 * made.truth[0][i] + 0.3 * made.truth[1][i] +
                                                  0.3 * made.truth[2][i] + 0.2 * made.truth[3][i]) +
                                           20);
        }
    }
    const int msSide = side / 4;
    made.scene.ms.resize(4);
    for (int k = 0; k < 4; ++k) {
        const MtfTaps taps = MtfGaussian(sensor.ms[k], 4);
        std::vector<double> scratch(side), row(msSide);
        for (int i = 0; i < msSide; ++i) {
            const double* rows[kMtfTaps];
            for (int t = 0; t < kMtfTaps; ++t) {
                rows[t] = made.truth[k].data() + ClampIndex(4 * i + 2 - kMtfHalo + t, side) * side;
            }
            FilterDecimateRow(taps, rows, side, 4, 2, msSide, scratch.data(), row.data());
            for (double value : row) made.scene.ms[k].push_back(std::round(value));
        }
    }
    return made;
}

// Whole-image references of the engine's steps, computed straight from their definitions.

// An image upsampled by ratio with the 23-tap interpolator, ×2 steps along the rows, then down
// the columns.
inline Values UpsampleWhole(const Values& image, int width, int height, int ratio)
{
    Values out = image;
    int w = width, h = height;
    for (int phase = 1; w < width * ratio; phase = 0, w *= 2, h *= 2) {
        Values wide(static_cast<std::size_t>(2 * w) * h), tall(wide.size() * 2);
        for (int y = 0; y < h; ++y) Upsample2Line(&out[y * w], w, phase, &wide[y * 2 * w]);
        Values column(h), twice(2 * h);
        for (int x = 0; x < 2 * w; ++x) {
            for (int y = 0; y < h; ++y) column[y] = wide[y * 2 * w + x];
            Upsample2Line(column.data(), h, phase, twice.data());
            for (int y = 0; y < 2 * h; ++y) tall[y * 2 * w + x] = twice[y];
        }
        out.swap(tall);
    }
    return out;
}

// An image filtered with the Gaussian of gain (edge replication) and decimated: sample (i, j)
// at row ratio·i + ratio/2, column ratio·j + ratio/2.
inline Values DegradeWhole(const Values& image, int width, int height, double gain, int ratio)
{
    const MtfTaps taps = MtfGaussian(gain, ratio);
    const int w = width / ratio, h = height / ratio;
    Values out(static_cast<std::size_t>(w) * h, 0.0);
    for (int i = 0; i < h; ++i) {
        for (int j = 0; j < w; ++j) {
            double sum = 0;
            for (int t = 0; t < kMtfTaps; ++t) {
                const std::int64_t y = ClampIndex(ratio * i + ratio / 2 - kMtfHalo + t, height);
                double row = 0;
                for (int s = 0; s < kMtfTaps; ++s) {
                    const std::int64_t x = ClampIndex(ratio * j + ratio / 2 - kMtfHalo + s, width);
                    row += taps[s] * image[y * width + x];
                }
                sum += taps[t] * row;
            }
            out[i * w + j] = sum;
        }
    }
    return out;
}

inline Values AsFloats(Values values)
{
    for (double& v : values) v = static_cast<float>(v);
    return values;
}

inline Values Crop(const Values& image, int width, int cropWidth, int cropHeight)
{
    Values out;
    for (int y = 0; y < cropHeight; ++y) {
        out.insert(out.end(), image.begin() + y * width, image.begin() + y * width + cropWidth);
    }
    return out;
}

// Population mean and deviation.
inline std::pair<double, double> MomentsOf(const Values& values)
{
    double sum = 0, squares = 0;
    for (double v : values) sum += v;
    const double mean = sum / static_cast<double>(values.size());
    for (double v : values) squares += (v - mean) * (v - mean);
    return {mean, std::sqrt(squares / static_cast<double>(values.size()))};
}

// The pan of each band equalised to the band against its low-pass pan: (scale, offset).
inline std::pair<double, double> Equalisation(const Values& band, const Values& low)
{
    const auto [bandMean, bandDeviation] = MomentsOf(band);
    const auto [lowMean, lowDeviation] = MomentsOf(low);
    const double scale = lowDeviation > 0 ? bandDeviation / lowDeviation : 0.0;
    return {scale, bandMean - scale * lowMean};
}

template <typename Image>
inline double Ergas(const Image& fused, const std::array<Values, 4>& truth)
{
    double sum = 0;
    for (int k = 0; k < 4; ++k) {
        double squares = 0, mean = 0;
        for (std::size_t i = 0; i < truth[k].size(); ++i) {
            squares += (fused[k][i] - truth[k][i]) * (fused[k][i] - truth[k][i]);
            mean += truth[k][i];
        }
        mean /= static_cast<double>(truth[k].size());
        sum += squares / static_cast<double>(truth[k].size()) / (mean * mean);
    }
    return 100.0 / 4 * std::sqrt(sum / 4);
}

}  // namespace lumesta::injection_test
