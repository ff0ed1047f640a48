// One job of a batch file on its own (the array tasks of a cluster run), job listings, and
// jobs that stay independent of the runs before them.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "composite/combine_batch.h"
#include "composite/combine_browse.h"
#include "fusion/fusion_batch.h"
#include "fusion/fusion_browse.h"
#include "tests/support/fake_host.h"
#include "tests/support/geotiff_builder.h"
#include "tests/support/report_text.h"
#include "tests/support/scene_builder.h"
#include "tests/support/temp_dir.h"

namespace lumesta::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

class BatchJobsTest : public ::testing::Test {
protected:
    void SetUp() override { WriteGeoTiffScene(dir.Path(), MakeScene(512, 512)); }

    std::string Record(int number, const std::string& pan, const std::string& out) const
    {
        std::string record = std::to_string(number) + "\n" + pan + "\n";
        for (const char* name : {"blue", "green", "red", "nir"})
            record += dir.File(std::string(name) + ".tif") + "\n";
        return record + dir.File(out + ".bmp") + "\n" + dir.File(out + ".tif") + "\n";
    }

    PanSharpenJob BatchJob(const std::string& text)
    {
        WriteFileBytes(dir.File("jobs.bif"), text);
        PanSharpenJob job;
        FakeHost browse;
        EXPECT_TRUE(BrowsePan(job, dir.File("jobs.bif"), browse));
        return job;
    }

    TempDir dir;
};

// The jobs before the selected one are read and counted, not run: a skipped job (unreadable pan)
// and one that stops in its checks (pan too small) open no block, so the selected job's block
// carries the same number and opening line as in the whole batch.
TEST_F(BatchJobsTest, EachJobAloneWritesTheBlockItHasInTheWholeBatch)
{
    WriteGeoTiff16(dir.File("small.tif"), 256, 256, {std::vector<std::int16_t>(256 * 256, 100)});
    const std::string text =
        "5 1\n" + Record(1, dir.File("pan.tif"), "a") + Record(2, dir.File("gone.tif"), "b") +
        Record(3, dir.File("pan.tif"), "c") + Record(4, dir.File("small.tif"), "d") +
        Record(5, dir.File("pan.tif"), "e");
    PanSharpenJob whole = BatchJob(text);
    RunCounters wholeCounters;
    FakeHost wholeHost;
    // Jobs 2 and 4 do not finish, so the whole batch reports a stop.
    ASSERT_EQ(RunPanSharpenBatch(whole, wholeCounters, wholeHost), BatchOutcome::Stopped);
    const std::string expected = MaskTimes(wholeHost.Log());
    const std::string picture = ReadFileBytes(dir.File("e.bmp"));

    std::string merged;
    for (long number = 1; number <= 5; ++number) {
        PanSharpenJob job = BatchJob(text);
        RunCounters counters;
        FakeHost host;
        const BatchJobResult result =
            RunBatchJob(job.batchPath, number, host, PanSharpenBatchActions(job, counters));
        EXPECT_EQ(result.batch, BatchOutcome::Completed);
        EXPECT_EQ(result.count, 5);
        EXPECT_EQ(result.ran, number != 2) << number;
        EXPECT_EQ(result.run,
                  number == 2 || number == 4 ? RunOutcome::Stopped : RunOutcome::Finished);
        // Only the job's own messages: the unreadable pan for job 2, the size for job 4.
        EXPECT_EQ(host.Messages().size(), number == 2 || number == 4 ? 1u : 0u) << number;
        merged += host.Log();
    }
    EXPECT_EQ(MaskTimes(merged), expected);
    EXPECT_THAT(merged, HasSubstr("Pan-Sharpening Run (3) ____"));
    EXPECT_EQ(ReadFileBytes(dir.File("e.bmp")), picture);
}

TEST_F(BatchJobsTest, StopsBeforeTheJobAndJobsBeyondTheFileAreReported)
{
    const std::string tiff = "2\n" + dir.File("pan.tif") + "\n" + dir.File("blue.tiff") + "\n";
    PanSharpenJob job = BatchJob("3 1\n" + Record(1, dir.File("pan.tif"), "a") + tiff);
    RunCounters counters;
    FakeHost host;
    const BatchToolActions actions = PanSharpenBatchActions(job, counters);
    EXPECT_EQ(RunBatchJob(job.batchPath, 3, host, actions).batch, BatchOutcome::Stopped);
    EXPECT_THAT(host.Messages(),
                ElementsAre("Check the group/order of files in Batch Input File; \r\nBatch "
                            "mode processes geotiff file (*.tif) only."));
    EXPECT_THAT(host.Log(), IsEmpty());
    EXPECT_FALSE(Exists(dir.File("a.bmp")));

    host.ClearMessages();
    job = BatchJob("1 1\n" + Record(1, dir.File("pan.tif"), "a") + "trailing text\n");
    const BatchJobResult beyond =
        RunBatchJob(job.batchPath, 2, host, PanSharpenBatchActions(job, counters));
    EXPECT_EQ(beyond.batch, BatchOutcome::Stopped);
    EXPECT_FALSE(beyond.ran);
    EXPECT_THAT(host.Messages(), ElementsAre("The batch file has no job 2 (it lists 1)."));
}

TEST_F(BatchJobsTest, ListingNamesInputsAndTheIndicatorsOutputsWithoutRunning)
{
    const std::string fourBand = "2\nnot used\n" + dir.File("ms.tif") + "\n" + dir.File("b.bmp") +
                                 "\n" + dir.File("b.tif") + "\n";
    const std::string missing = "3\nnot used\n" + dir.File("gone.tif") + "\n" + dir.File("g.tif") +
                                "\n" + dir.File("r.tif") + "\n" + dir.File("n.tif") + "\n" +
                                dir.File("c.bmp") + "\n" + dir.File("c.tif") + "\n";
    WriteFileBytes(dir.File("combine.bif"),
                   "3 2\n" + Record(1, "not used", "a") + fourBand + missing);
    BandCombinationJob job(CombineDepth::Sixteen);
    FakeHost host;
    ASSERT_TRUE(BrowseCombineBlue(job, dir.File("combine.bif"), host));
    RunCounters counters;
    std::vector<BatchJobEntry> jobs;
    long count = 0;
    ASSERT_EQ(
        ListBatchJobs(job.batchPath, host, BandCombinationBatchActions(job, counters), jobs, count),
        BatchOutcome::Completed);
    EXPECT_EQ(count, 3);
    ASSERT_EQ(jobs.size(), 3u);
    EXPECT_THAT(jobs[0].inputs,
                ElementsAre(dir.File("blue.tif"), dir.File("green.tif"), dir.File("red.tif")));
    EXPECT_THAT(jobs[0].outputs, ElementsAre(dir.File("a.tif")));  // indicator 2: the GeoTIFF only
    EXPECT_THAT(jobs[1].inputs, ElementsAre(dir.File("ms.tif")));
    EXPECT_FALSE(jobs[1].skipped);
    EXPECT_TRUE(jobs[2].skipped);
    EXPECT_THAT(host.Messages(), IsEmpty());
    EXPECT_THAT(host.Log(), IsEmpty());
    EXPECT_FALSE(Exists(dir.File("a.tif")));
}

}  // namespace
}  // namespace lumesta::testing
