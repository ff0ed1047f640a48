#include "fusion/injection/learned/learned_fusion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <dirent.h>
#include <set>
#include <string>
#include <vector>

#include "fusion/fusion_browse.h"
#include "fusion/fusion_run.h"
#include "fusion/injection/injection_model.h"
#include "fusion/injection/learned/memory_raster.h"
#include "imaging/sensor_gains.h"
#include "tests/support/fake_host.h"
#include "tests/support/scene_builder.h"
#include "tests/support/temp_dir.h"

namespace lumesta::testing {
namespace {

using Samples = std::vector<std::string>;  // each band's fused bytes

// A scene whose bands are not a multiple of the pan's detail: each band mixes the pan's
// texture with a curve of it and an edge of its own, then is averaged down to the MS.
struct LearnedScene {
    int width = 0;
    int height = 0;
    std::vector<float> pan;
    std::vector<float> ms;  // 4 bands of width / 4 × height / 4, one after the other
};

LearnedScene MakeLearnedScene(int width, int height)
{
    LearnedScene scene{width, height, {}, {}};
    const int bands = 4;
    std::vector<std::vector<double>> fine(bands, std::vector<double>(width * height));
    scene.pan.resize(static_cast<std::size_t>(width * height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double texture = 300 + 120 * std::sin(0.37 * x) * std::cos(0.23 * y) +
                                   80 * std::sin(0.05 * (x + 2 * y)) + ((x * 7 + y * 13) % 11);
            const double edge = x + y / 2 > width / 2 ? 150 : 0;
            for (int k = 0; k < bands; ++k) {
                fine[k][y * width + x] = (0.6 + 0.2 * k) * texture +
                                         (k - 1.5) * texture * texture / 900 + (k % 2) * edge;
            }
            scene.pan[y * width + x] = static_cast<float>(std::round(texture + edge / 4));
        }
    }
    const int w = width / 4, h = height / 4;
    scene.ms.resize(static_cast<std::size_t>(bands * w * h));
    for (int k = 0; k < bands; ++k) {
        for (int j = 0; j < h; ++j) {
            for (int i = 0; i < w; ++i) {
                double sum = 0;
                for (int dy = 0; dy < 4; ++dy)
                    for (int dx = 0; dx < 4; ++dx) sum += fine[k][(4 * j + dy) * width + 4 * i + dx];
                scene.ms[(k * h + j) * w + i] = static_cast<float>(std::round(sum / 16));
            }
        }
    }
    return scene;
}

InjectionInputs InputsOf(const LearnedScene& scene, FusionMethod method, const std::string& temp)
{
    const SensorGains sensor = *FindSensor("worldview2");
    InjectionInputs inputs;
    inputs.method = method;
    inputs.width = scene.width;
    inputs.height = scene.height;
    inputs.type = SampleType::Int16;
    inputs.pan = {MemoryRaster(scene.pan, scene.width, scene.height, 1), 0};
    const auto ms = MemoryRaster(scene.ms, scene.width / 4, scene.height / 4, 4);
    for (int k = 0; k < 4; ++k) inputs.ms.push_back({ms, k});
    inputs.msGains.assign(sensor.ms.begin(), sensor.ms.end());
    inputs.panGain = sensor.pan;
    inputs.tempBeside = temp;
    return inputs;
}

// A sink keeping every band's bytes.
FusedRowsSink KeepRows(Samples& bands)
{
    return [&bands](const FusedStrip& strip) {
        bands.resize(strip.bands.size());
        const std::size_t bytes = static_cast<std::size_t>(strip.rowCount * strip.width * 2);
        for (std::size_t k = 0; k < bands.size(); ++k)
            bands[k].append(static_cast<const char*>(strip.bands[k]), bytes);
        return true;
    };
}

// The names in a folder.
std::set<std::string> FilesIn(const std::string& folder)
{
    std::set<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") names.insert(name);
        }
        closedir(dir);
    }
    return names;
}

class ThreadLimit {
public:
    explicit ThreadLimit(int threads) { setenv("LUMESTA_THREADS", std::to_string(threads).c_str(), 1); }
    ~ThreadLimit() { unsetenv("LUMESTA_THREADS"); }
};

class LearnedFusionTest : public ::testing::Test {
protected:
    // Fuses the scene with method (FuseInjectedImage), or with values when given.
    Samples Fuse(const LearnedScene& scene, FusionMethod method, std::int64_t stripRows,
                 const SceneNetwork* network = nullptr)
    {
        InjectionModel model(InputsOf(scene, method, dir.File("pan")));
        const auto going = [] { return true; };
        EXPECT_EQ(FitInjectionModel(model, "read", host, going), StepResult::Ok);
        Samples bands;
        const auto progress = host.OpenProgress("", ProgressOwner::ToolDialog);
        StepResult result;
        if (network != nullptr) {
            const std::vector<double> scales = {310, 420, 505, 620};
            result = FuseInjectedImageWith(
                model, NetworkStripValues(model, *network, scales, stripRows, "read", host, going),
                KeepRows(bands), {0, 0, 0}, stripRows, "read", *progress, host, going);
        } else {
            result = FuseInjectedImage(model, KeepRows(bands), {0, 0, 0}, stripRows, "read",
                                       *progress, host, going);
        }
        EXPECT_EQ(result, StepResult::Ok);
        return bands;
    }

    TempDir dir;
    FakeHost host;
};

TEST_F(LearnedFusionTest, UntrainedNetworkGivesItsBaseMethodsBytes)
{
    const LearnedScene scene = MakeLearnedScene(96, 64);
    const SceneNetwork untrained = InitialNetwork(4, 11);
    const Samples base = Fuse(scene, FusionMethod::GlpHpm, 0);
    for (std::int64_t stripRows : {5, 64}) {
        EXPECT_EQ(Fuse(scene, FusionMethod::SceneCnn, stripRows, &untrained), base) << stripRows;
    }
}

TEST_F(LearnedFusionTest, NetworkOutputDependsOnNeitherStripsNorThreads)
{
    const LearnedScene scene = MakeLearnedScene(96, 64);
    SceneNetwork network = InitialNetwork(4, 11);
    SplitMix64 random(3);
    for (float& w : network.layers[2].weights) w = static_cast<float>(random.Uniform() - 0.5);
    const Samples whole = Fuse(scene, FusionMethod::SceneCnn, 64, &network);
    EXPECT_NE(whole, Fuse(scene, FusionMethod::GlpHpm, 0));
    EXPECT_EQ(Fuse(scene, FusionMethod::SceneCnn, 3, &network), whole);
    const ThreadLimit one(1);
    EXPECT_EQ(Fuse(scene, FusionMethod::SceneCnn, 7, &network), whole);
}

TEST_F(LearnedFusionTest, TrainingIsReproducibleForAnyThreadCount)
{
    const LearnedScene scene = MakeLearnedScene(128, 128);
    const Samples first = Fuse(scene, FusionMethod::SceneCnn, 0);
    EXPECT_NE(first, Fuse(scene, FusionMethod::GlpHpm, 0)) << "the network was not used";
    EXPECT_EQ(Fuse(scene, FusionMethod::SceneCnn, 0), first);
    const ThreadLimit one(1);
    EXPECT_EQ(Fuse(scene, FusionMethod::SceneCnn, 0), first);
}

TEST_F(LearnedFusionTest, TrainingLowersTheLossAndPassesTheHeldOutCheck)
{
    InjectionModel model(InputsOf(MakeLearnedScene(128, 128), FusionMethod::SceneCnn,
                                  dir.File("pan")));
    const auto going = [] { return true; };
    ASSERT_EQ(FitInjectionModel(model, "read", host, going), StepResult::Ok);
    std::vector<double> scales;
    SceneNetwork network;
    TrainingOutcome outcome;
    const auto progress = host.OpenProgress("", ProgressOwner::ToolDialog);
    ASSERT_EQ(TrainOnScene(model, scales, network, outcome, "read", *progress, host, going),
              StepResult::Ok);
    ASSERT_TRUE(outcome.useNetwork);
    ASSERT_EQ(outcome.losses.size(), static_cast<std::size_t>(outcome.steps));
    EXPECT_LT(outcome.losses.back(), 0.8 * outcome.losses.front());
    for (const auto& half : outcome.heldOut) EXPECT_LT(*std::min_element(half.begin(), half.end()), 0.99);
}

// A host whose progress window is cancelled as soon as it shows a training step.
class CancelledInTraining : public FakeHost {
public:
    std::unique_ptr<RunProgress> OpenProgress(const std::string&, ProgressOwner) override
    {
        return std::make_unique<Progress>(*this);
    }
    bool cancelled = false;

private:
    class Progress : public RunProgress {
    public:
        explicit Progress(CancelledInTraining& host) : m_host(host) {}
        void SetRange(int, int, int) override {}
        void SetPosition(int) override {}
        void SetStatusText(const std::string& text) override
        {
            if (text.rfind("Training on this scene", 0) == 0) m_host.cancelled = true;
        }
        void PumpMessages(bool) override {}
        bool IsCancelled() const override { return m_host.cancelled; }

    private:
        CancelledInTraining& m_host;
    };
};

TEST(LearnedRunTest, CancelDuringTrainingLeavesNothingBehind)
{
    TempDir dir;
    WriteEnviScene(dir.Path(), MakeScene(512, 512));
    const std::set<std::string> inputs = FilesIn(dir.Path());
    PanSharpenJob job = BrowsedJob(dir.Path(), "img");
    ChooseMethod(job, *FindMethod("sacnn"));
    job.sensor = "worldview2";
    job.displayBmp = false;
    CancelledInTraining host;
    RunCounters counters;
    EXPECT_EQ(RunPanSharpen(job, counters, host), RunOutcome::Cancelled);
    EXPECT_TRUE(host.cancelled);
    EXPECT_EQ(FilesIn(dir.Path()), inputs);
}

}  // namespace
}  // namespace lumesta::testing
