#include "assess/image_stats.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "assess/assess_browse.h"
#include "assess/level_statistics.h"
#include "assess/number_text.h"
#include "tests/engine/assess/assess_bands.h"
#include "tests/support/fake_host.h"
#include "tests/support/temp_dir.h"

namespace lumesta {
namespace {

using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::IsEmpty;

TEST(LevelStatisticsTest, MaximumLevelsFollowTheSmallerSide)
{
    EXPECT_EQ(MaximumPyramidLevel(512, 512, 3), 6);
    EXPECT_EQ(MaximumPyramidLevel(500, 512, 3), 6);
    EXPECT_EQ(MaximumPyramidLevel(32, 32, 3), 2);
    EXPECT_EQ(MaximumPyramidLevel(33, 40, 3), 3);
    EXPECT_EQ(MaximumPyramidLevel(512, 256, 4), 4);
}

TEST(LevelStatisticsTest, OddSidesKeepPairMeansAndTheCorner)
{
    testing::FakeHost host;
    const auto progress = host.OpenProgress("", ProgressOwner::Window);
    std::vector<float> band(33 * 33);
    for (int i = 0; i < 33 * 33; ++i) band[i] = static_cast<float>(i);
    const LevelSize next = NextLevelSize({33, 33});
    ASSERT_EQ(next.width, 17);
    ASSERT_EQ(next.height, 17);
    std::vector<float> level(17 * 17);
    ProgressCounter counter(*progress, 16 * 16);
    ASSERT_TRUE(BuildNextLevel(band.data(), {33, 33}, level.data(), counter));
    EXPECT_EQ(level[0], 0.25f * (0 + 1 + 33 + 34));
    EXPECT_EQ(level[15 * 17 + 15], 0.25f * (1020 + 1021 + 1053 + 1054));
    EXPECT_EQ(level[3 * 17 + 16], 0.5f * (7 * 33 + 32 + 6 * 33 + 32));    // last column
    EXPECT_EQ(level[16 * 17 + 5], 0.5f * (32 * 33 + 11 + 32 * 33 + 10));  // last row
    EXPECT_EQ(level[16 * 17 + 16], 33 * 33 - 1);                          // corner
    EXPECT_EQ(host.Pumps(), 16);  // one per line of block means, none for the edges
    EXPECT_EQ(host.ProgressPositions().back(), 100);
}

TEST(LevelStatisticsTest, StatisticsOfTwoValuesAndOfZeros)
{
    std::vector<float> twoValues(1000);
    for (std::size_t i = 0; i < twoValues.size(); ++i) twoValues[i] = i % 2 ? 255.0f : 0.0f;
    const LevelStatistics two = ComputeLevelStatistics(twoValues.data(), 1000);
    EXPECT_EQ(two[0], 0.0);
    EXPECT_EQ(two[1], 255.0);
    EXPECT_EQ(two[2], 127.5);
    EXPECT_DOUBLE_EQ(two[3], 127.5 * 127.5 * 1000 / 999);
    EXPECT_DOUBLE_EQ(two[5], std::sqrt(two[3]) / 127.5);
    EXPECT_NEAR(two[6], 0.0, 1e-12);
    EXPECT_EQ(two[8], 1.0);
    std::vector<float> zeros(100, 0.0f);
    EXPECT_TRUE(std::isnan(ComputeLevelStatistics(zeros.data(), 100)[5]));  // no mean: no CV
}

TEST(LevelStatisticsTest, SkewnessAndKurtosisEqualSampleOrderSums)
{
    // Many repeated values (as a band has) and many distinct ones (as deep levels have), on a
    // level large enough to be split among threads.
    std::vector<float> x(300000);
    const auto pattern = testing::PatternBand(600, 500, 2048);
    for (std::size_t i = 0; i < x.size(); ++i) {
        x[i] = i < 150000 ? static_cast<float>(pattern[i]) : static_cast<float>(pattern[i]) / 7.0f;
    }
    const LevelStatistics stats =
        ComputeLevelStatistics(x.data(), static_cast<std::int64_t>(x.size()));
    double cubes = 0.0;
    double fourths = 0.0;
    for (const float value : x) {
        cubes += std::pow(value - stats[2], 3.0);
        fourths += std::pow(value - stats[2], 4.0);
    }
    const double n1 = static_cast<double>(x.size() - 1);
    EXPECT_EQ(stats[6], cubes / (std::pow(stats[4], 3.0) * n1));
    EXPECT_EQ(stats[7], fourths / (std::pow(stats[4], 4.0) * n1));
}

TEST(LevelStatisticsTest, NumbersIgnoreTheLocaleAndNanHasNoSign)
{
    EXPECT_EQ(FixedText(1234.5678, 2), "1234.57");
    EXPECT_EQ(FixedText(-0.004, 2), "-0.00");
    EXPECT_EQ(FixedText(std::numeric_limits<double>::quiet_NaN(), 2), "nan");
    EXPECT_EQ(FixedText(-std::numeric_limits<double>::quiet_NaN(), 2), "nan");
    EXPECT_EQ(FixedText(std::numeric_limits<double>::infinity(), 2), "inf");
    EXPECT_EQ(GeneralText(-1234.5678), "-1234.57");
    EXPECT_EQ(GeneralText(1e-7), "1e-07");
    EXPECT_EQ(GeneralText(1234567.0), "1.23457e+06");
}

// Every change of the rounded-down percentage is shown once; lines of work counted at once
// show the same positions (also when one line passes several of them), one pump per line, and
// the cancel is seen at the next line.
TEST(ProgressCounterTest, LinesOrUnitsShowEveryPositionChangeOfTheCount)
{
    for (const std::int64_t total : {1, 7, 333, 1000, 65536}) {
        std::vector<int> expected;
        for (std::int64_t count = 1; count <= total; ++count) {
            const int position = static_cast<int>(static_cast<double>(count) * 100.0 / total);
            if (expected.empty() || expected.back() != position) expected.push_back(position);
        }
        for (const std::int64_t line : {1, 3, 50, 4096}) {
            testing::FakeHost host;
            const auto bar = host.OpenProgress("", ProgressOwner::Window);
            ProgressCounter counter(*bar, total);
            for (std::int64_t done = 0; done < total; done += line) {
                const std::int64_t count = std::min(line, total - done);
                ASSERT_TRUE(line == 1 ? counter.Advance() : counter.AdvanceBy(count));
            }
            EXPECT_EQ(host.ProgressPositions(), expected) << total << " " << line;
            EXPECT_EQ(host.Pumps(), (total + line - 1) / line);
        }
    }
    testing::FakeHost host;
    host.cancelAtPump = 2;
    const auto progress = host.OpenProgress("", ProgressOwner::Window);
    ProgressCounter counter(*progress, 100);
    EXPECT_TRUE(counter.AdvanceBy(10));
    EXPECT_FALSE(counter.AdvanceBy(10));
}

class ImageStatsRunTest : public ::testing::Test {
protected:
    ImageStatsJob BrowsedJob(int w, int h, const std::vector<std::int16_t>& samples, int level)
    {
        const std::string path = dir.File("band.img");
        testing::WriteInt16File(path, samples);
        testing::WriteEnviHeader(path, w, h, 1);
        ImageStatsJob job;
        if (!BrowseImageStatsInput(job, path, host)) throw std::runtime_error("browse failed");
        job.level = level;
        return job;
    }

    testing::TempDir dir;
    testing::FakeHost host;
    RunCounters counters;
};

TEST_F(ImageStatsRunTest, ReportBlockAndTableOfAConstantBand)
{
    ImageStatsJob job = BrowsedJob(64, 32, std::vector<std::int16_t>(64 * 32, 5), 1);
    EXPECT_EQ(ComputeImageStatistics(job, counters, host), RunOutcome::Finished);
    const std::string d = dir.Path() + "/";
    EXPECT_EQ(host.Log(),
              "Log File: \r\n\r\n========= Multi-Resolution Image Statistics (1) ==========\r\n\r\n"
              "(a) Input Image Name:\r\nInput:\t\t" + d + "band.img\r\n"
              "Width:\t\t64 pixels\r\nHeight:\t\t32 pixels\r\nImage Size:\t2048 pixels\r\n"
              "File Size:\t4096 bytes\r\n\r\n(b) Specifications:\r\n"
              "Multi-Resolution Level(s): \t1\r\n\r\n(c) Output Multi-resolution Image Statistics:\r\n"
              "Output:\t" + d + "band_ImageStats.txt\r\n\r\nFinished\r\n\r\n");
    EXPECT_EQ(testing::ReadFileBytes(job.outputPath),
              "IMAGE SIZE     \t64*32       \t32*16       \t\r\n"
              "Min            \t5.00        \t5.00        \t\r\n"
              "Max            \t5.00        \t5.00        \t\r\n"
              "Mean           \t5.00        \t5.00        \t\r\n"
              "Variance       \t0.00        \t0.00        \t\r\n"
              "Std. deviation \t0.00        \t0.00        \t\r\n"
              "Coef. variation\t0.00        \t0.00        \t\r\n"
              "Skewness       \tnan         \tnan         \t\r\n"
              "Kurtosis       \tnan         \tnan         \t\r\n"
              "Entropy        \t0.00        \t0.00        \t\r\n"
              "\r\n\r\n\r\n");
    EXPECT_THAT(host.Viewed(), ElementsAre(job.outputPath));
    EXPECT_EQ(host.ProgressPositions().back(), 100);  // 2048 samples + 512 block means
}

TEST_F(ImageStatsRunTest, EightBitBandOfTwoValuesHasEntropyOne)
{
    std::vector<std::uint8_t> bytes(32 * 32);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = i % 2 ? 255 : 0;
    testing::WriteByteFile(dir.File("two.raw"), bytes);
    ImageStatsJob job;
    ASSERT_TRUE(BrowseImageStatsInput(job, dir.File("two.raw"), host));
    job.input.width = 32;
    job.input.height = 32;
    EXPECT_EQ(ComputeImageStatistics(job, counters, host), RunOutcome::Finished);
    const std::string table = testing::ReadFileBytes(dir.File("two_ImageStats.txt"));
    EXPECT_NE(table.find("Max            \t255.00      \t\r\n"), std::string::npos) << table;
    EXPECT_NE(table.find("Entropy        \t1.00        \t\r\n"), std::string::npos) << table;
}

TEST_F(ImageStatsRunTest, ValidationMessagesAndTheCancelPath)
{
    ImageStatsJob job = BrowsedJob(512, 512, testing::PatternBand(512, 512, 2048), 7);
    EXPECT_EQ(ComputeImageStatistics(job, counters, host), RunOutcome::Stopped);
    job.level = -1;
    EXPECT_EQ(ComputeImageStatistics(job, counters, host), RunOutcome::Stopped);
    job.level = 1;
    job.input.width = 16001;
    job.input.height = 16001;
    EXPECT_EQ(ComputeImageStatistics(job, counters, host), RunOutcome::Stopped);
    EXPECT_THAT(host.Messages(),
                ElementsAre(" The maximum level you can select for this image is 6.",
                            "Please input correct level number.",
                            "Image size is too big; If you wish to have this limit relaxed, "
                            "please contact developer."));
    EXPECT_EQ(host.Log(), "");

    job.input.width = 512;
    job.input.height = 512;
    host.cancelAtPump = 1000;  // inside the conversion of the band
    EXPECT_EQ(ComputeImageStatistics(job, counters, host), RunOutcome::Cancelled);
    EXPECT_THAT(host.Log(), EndsWith("Cancelled\r\n\r\n"));
    EXPECT_FALSE(testing::Exists(job.outputPath));
    EXPECT_THAT(host.Viewed(), IsEmpty());
}

// 2049 × 1300 16-bit samples come in two strips, and both sides are odd at some level: the
// table equals the one computed from whole levels.
TEST_F(ImageStatsRunTest, StreamedLevelsEqualWholeLevelsAcrossStrips)
{
    const int w = 2049;
    const int h = 1300;
    const std::vector<std::int16_t> band = testing::PatternBand(w, h, 4000, 3);
    ImageStatsJob job = BrowsedJob(w, h, band, 4);
    ASSERT_EQ(ComputeImageStatistics(job, counters, host), RunOutcome::Finished);

    std::vector<LevelSize> sizes{{w, h}};
    std::vector<float> level(band.begin(), band.end());
    std::vector<LevelStatistics> rows{ComputeLevelStatistics(level.data(), w * h)};
    const auto progress = host.OpenProgress("", ProgressOwner::Window);
    ProgressCounter counter(*progress, 1);
    for (int k = 1; k <= 4; ++k) {
        sizes.push_back(NextLevelSize(sizes.back()));
        std::vector<float> next(static_cast<std::size_t>(sizes[k].width) * sizes[k].height);
        ASSERT_TRUE(BuildNextLevel(level.data(), sizes[k - 1], next.data(), counter));
        rows.push_back(ComputeLevelStatistics(next.data(), static_cast<std::int64_t>(next.size())));
        level.swap(next);
    }
    ASSERT_TRUE(WriteStatisticsTable(dir.File("whole.txt"), sizes, rows, host));
    EXPECT_EQ(testing::ReadFileBytes(job.outputPath), testing::ReadFileBytes(dir.File("whole.txt")));
}

TEST_F(ImageStatsRunTest, BandBeyondTheEndOfItsFileIsRefused)
{
    // The header declares four bands over a file that holds one.
    const std::string path = dir.File("short.img");
    testing::WriteInt16File(path, testing::PatternBand(32, 32, 100));
    testing::WriteEnviHeader(path, 32, 32, 4, {"A", "B", "C", "D"});
    ImageStatsJob job;
    ASSERT_TRUE(BrowseImageStatsInput(job, path, host));
    SelectAssessInputEntry(job.input, 3);
    EXPECT_EQ(ComputeImageStatistics(job, counters, host), RunOutcome::Stopped);
    EXPECT_THAT(host.Messages(), ElementsAre("Check the file size of the input image."));
    EXPECT_THAT(host.Log(), EndsWith("Unsucessful\r\n\r\n"));
    EXPECT_FALSE(testing::Exists(job.outputPath));
}

}  // namespace
}  // namespace lumesta
