// Batch input files of the pan-sharpening tools: the reading primitives, the record layouts,
// the output format indicator and every stop message; one job of a batch file on its own (the
// array tasks of a cluster run), job listings, and jobs that stay independent of the runs
// before them.

#include "fusion/fusion_batch.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sstream>

#include "composite/combine_batch.h"
#include "composite/combine_browse.h"
#include "fusion/fusion_browse.h"
#include "tests/support/fake_host.h"
#include "tests/support/geotiff_builder.h"
#include "tests/support/report_text.h"
#include "tests/support/scene_builder.h"
#include "tests/support/temp_dir.h"

namespace lumesta::testing {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

const char kGroupOrder[] =
    "Check the group/order of files in Batch Input File; \r\nBatch mode processes geotiff file (*.tif) only.";

TEST(BatchReaderTest, NumbersSkipLineEndsAndLinesDropTheirEnds)
{
    std::istringstream in(" 2\r\n 0\r\n7 text after\r\n/a b/pan.TIF\n/x/ms.tiff\r\n");
    BatchReader reader(in);
    long count = 0, indicator = -1, number = 0;
    std::string after, tif, tiff;
    ASSERT_TRUE(reader.ReadWholeNumber(count) && reader.ReadWholeNumber(indicator) &&
                reader.ReadWholeNumber(number));
    EXPECT_EQ(std::vector<long>({count, indicator, number}), std::vector<long>({2, 0, 7}));
    ASSERT_TRUE(reader.ReadLine(after) && reader.ReadLine(tif) && reader.ReadLine(tiff));
    EXPECT_EQ(after, " text after");
    EXPECT_EQ(tif, "/a b/pan.TIF");
    EXPECT_TRUE(PassesGeoTiffTest(tif));
    EXPECT_FALSE(PassesGeoTiffTest(tiff));
    EXPECT_FALSE(reader.ReadLine(tiff) || reader.ReadWholeNumber(number));
}

class PanSharpenBatchTest : public ::testing::Test {
protected:
    void SetUp() override { WriteGeoTiffScene(dir.Path(), MakeScene(512, 512)); }

    // An eight-line record of single-band files; the pan is pan.tif unless named.
    std::string Single(int number, const std::string& out, const std::string& pan = "") const
    {
        std::string record = std::to_string(number) + "\n" + (pan.empty() ? dir.File("pan.tif") : pan) + "\n";
        for (const char* name : kNames) record += dir.File(std::string(name) + ".tif") + "\n";
        return record + dir.File(out + ".bmp") + "\n" + dir.File(out + ".tif") + "\n";
    }

    // The batch file holding text, browsed into a job.
    PanSharpenJob BatchJob(const std::string& text)
    {
        WriteFileBytes(dir.File("jobs.bif"), text);
        PanSharpenJob job;
        FakeHost browse;
        EXPECT_TRUE(BrowsePan(job, dir.File("jobs.bif"), browse));
        return job;
    }

    BatchOutcome Run(const std::string& text)
    {
        PanSharpenJob job = BatchJob(text);
        EXPECT_TRUE(job.batchMode);
        return RunPanSharpenBatch(job, counters, host, {}, &tally);
    }

    static constexpr const char* kNames[4] = {"blue", "green", "red", "nir"};
    TempDir dir;
    BatchTally tally;
    FakeHost host;
    RunCounters counters;
};

TEST_F(PanSharpenBatchTest, EachIndicatorWritesItsOutputsAndListsThem)
{
    ASSERT_EQ(Run("2 0\n" + Single(1, "a") + Single(2, "b")), BatchOutcome::Completed)
        << ::testing::PrintToString(host.Messages());
    EXPECT_TRUE(Exists(dir.File("a.bmp")) && Exists(dir.File("a.tif")) && Exists(dir.File("b.tif")));
    EXPECT_THAT(host.Log(), HasSubstr("_____________ Pan-Sharpening Run (2) ____"));
    EXPECT_THAT(host.Log(), HasSubstr("NIR:\t" + dir.File("b.tif") + " (Band 4)\r\nBMP:\t" + dir.File("b.bmp")));
    EXPECT_TRUE(host.Viewed().empty());

    host.ClearLog();
    ASSERT_EQ(Run("1 1\r\n" + Single(3, "c")), BatchOutcome::Completed);
    EXPECT_TRUE(Exists(dir.File("c.bmp")));
    EXPECT_FALSE(Exists(dir.File("c.tif")));
    EXPECT_THAT(host.Log(), HasSubstr("(d) Output Pan-Sharpened Colour Images:\r\nBMP:\t"));
    EXPECT_THAT(host.Log(), Not(HasSubstr("Step 6")));

    host.ClearLog();
    // Six lines for a four-band file: number, pan, MS, BMP, GeoTIFF.
    const std::string fourBand = "1 2\n5\n" + dir.File("pan.tif") + "\n" + dir.File("ms.tif") + "\n" +
                                 dir.File("d.bmp") + "\n" + dir.File("d.tif") + "\nignored\n";
    ASSERT_EQ(Run(fourBand), BatchOutcome::Completed) << ::testing::PrintToString(host.Messages());
    EXPECT_FALSE(Exists(dir.File("d.bmp")));
    EXPECT_TRUE(Exists(dir.File("d.tif")));
    EXPECT_THAT(host.Log(), HasSubstr("    Step 4: ......\tFinished\r\n    Step 5: ......\tFinished (GeoTIFF image output)\r\n"));
    EXPECT_THAT(host.Log(), HasSubstr("ms.tif( (Band 1))\r\n"));
}

TEST_F(PanSharpenBatchTest, StopsLeaveEarlierJobsDoneAndUnreadableFilesRunNothing)
{
    struct Case {
        std::string text;
        const char* message;
    };
    const std::string tiff = "2\n" + dir.File("pan.tif") + "\n" + dir.File("blue.tiff") + "\n";
    const Case cases[] = {
        {"1 3\n" + Single(1, "x"), "Output format indicator in the *.bif file should be 0, 1, or 2."},
        {"2 1\n" + Single(1, "e") + tiff, kGroupOrder},
        {"2 1\n" + Single(1, "f"), kGroupOrder},
        {"x 1\n" + Single(1, "g"), kGroupOrder},
    };
    for (const Case& c : cases) {
        host.ClearMessages();
        EXPECT_EQ(Run(c.text), BatchOutcome::Stopped);
        EXPECT_THAT(host.Messages(), ElementsAre(c.message));
    }
    EXPECT_FALSE(Exists(dir.File("x.bmp")));
    EXPECT_TRUE(Exists(dir.File("e.bmp")));  // the job before the stop stays done
    EXPECT_TRUE(Exists(dir.File("f.bmp")));
    // A file announcing no job, or holding nothing, is no finished batch; a folder or a pipe
    // (never waited on) is no batch file.
    for (const std::string& text :
         {"0 1\n" + Single(1, "h"), std::string(), std::string("0 0\n")}) {
        host.ClearMessages();
        EXPECT_EQ(Run(text), BatchOutcome::Stopped);
        EXPECT_THAT(host.Messages(), ElementsAre("Error - when reading the batch inputs file."));
    }
    EXPECT_FALSE(Exists(dir.File("h.bmp")));
    // A line too long to read whole (its CR LF not counted) runs no job: an output could land
    // under the cut name.
    const std::string longest = dir.File(std::string(254 - dir.File("").size() - 4, 'o'));
    host.ClearMessages();
    EXPECT_EQ(Run("2 1\r\n" + Single(1, "i") + "2\r\n" + longest + "o.tif\r\n"),
              BatchOutcome::Stopped);
    EXPECT_THAT(host.Messages(), ElementsAre(HasSubstr("Line 11 of the batch inputs file is longer "
                                                       "than 254 characters")));
    EXPECT_FALSE(Exists(dir.File("i.bmp")));
    host.ClearMessages();
    EXPECT_EQ(Run("1 1\r\n" + Single(1, "j", longest + ".tif")), BatchOutcome::Stopped);
    EXPECT_THAT(host.Messages(), Not(Contains(HasSubstr("254 characters"))));
    PanSharpenJob job;
    ASSERT_EQ(::mkdir(dir.File("x.bif").c_str(), 0755), 0);
    ASSERT_EQ(::mkfifo(dir.File("p.bif").c_str(), 0644), 0);
    for (const char* name : {"x.bif", "p.bif"}) {
        host.ClearMessages();
        job.batchPath = dir.File(name);
        EXPECT_EQ(RunPanSharpenBatch(job, counters, host), BatchOutcome::Stopped);
        EXPECT_THAT(host.Messages(), ElementsAre("Error - when reading the batch inputs file."));
    }
}

// A job with a missing pan is stopped; one failing its size check clears the job's inputs
// and selectors. Either makes the batch unsuccessful, and the next job still runs with the
// selectors the batch started with.
TEST_F(PanSharpenBatchTest, AStoppedJobMakesTheBatchUnsuccessfulAndTheRestStillRuns)
{
    WriteGeoTiff16(dir.File("short.tif"), 64, 64, {std::vector<std::int16_t>(64 * 64, 100)});
    std::string missingPan = Single(1, "a");
    missingPan.replace(missingPan.find("pan.tif"), 7, "gone.tif");
    std::string shortNir = Single(2, "b");
    shortNir.replace(shortNir.find("nir.tif"), 7, "short.tif");
    EXPECT_EQ(Run("3 1\n" + missingPan + shortNir + Single(3, "c")), BatchOutcome::Stopped);
    EXPECT_EQ(tally.finished, 1);
    EXPECT_EQ(tally.stopped, 2);
    EXPECT_FALSE(Exists(dir.File("a.bmp")));
    EXPECT_FALSE(Exists(dir.File("b.bmp")));
    EXPECT_TRUE(Exists(dir.File("c.bmp"))) << ::testing::PrintToString(host.Messages());
    EXPECT_THAT(host.Messages(),
                ElementsAre("Error: Reading GeoTIFF.", "Check the width/height of the input image."));
}

// The jobs before the selected one are read and counted, not run: a skipped job (unreadable pan)
// and one that stops in its checks (pan too small) open no block, so the selected job's block
// carries the same number and opening line as in the whole batch.
TEST_F(PanSharpenBatchTest, EachJobAloneWritesTheBlockItHasInTheWholeBatch)
{
    WriteGeoTiff16(dir.File("small.tif"), 256, 256, {std::vector<std::int16_t>(256 * 256, 100)});
    const std::string text =
        "5 1\n" + Single(1, "a") + Single(2, "b", dir.File("gone.tif")) +
        Single(3, "c") + Single(4, "d", dir.File("small.tif")) +
        Single(5, "e");
    PanSharpenJob whole = BatchJob(text);
    // Jobs 2 and 4 do not finish, so the whole batch reports a stop.
    ASSERT_EQ(RunPanSharpenBatch(whole, counters, host), BatchOutcome::Stopped);
    const std::string expected = MaskTimes(host.Log());
    const std::string picture = ReadFileBytes(dir.File("e.bmp"));

    std::string merged;
    for (long number = 1; number <= 5; ++number) {
        PanSharpenJob job = BatchJob(text);
        RunCounters jobCounters;
        FakeHost jobHost;
        const BatchJobResult result =
            RunBatchJob(job.batchPath, number, jobHost, PanSharpenBatchActions(job, jobCounters));
        EXPECT_EQ(result.batch, BatchOutcome::Completed);
        EXPECT_EQ(result.count, 5);
        EXPECT_EQ(result.ran, number != 2) << number;
        EXPECT_EQ(result.run,
                  number == 2 || number == 4 ? RunOutcome::Stopped : RunOutcome::Finished);
        // Only the job's own messages: the unreadable pan for job 2, the size for job 4.
        EXPECT_EQ(jobHost.Messages().size(), number == 2 || number == 4 ? 1u : 0u) << number;
        merged += jobHost.Log();
    }
    EXPECT_EQ(MaskTimes(merged), expected);
    EXPECT_EQ(ReadFileBytes(dir.File("e.bmp")), picture);
}

TEST_F(PanSharpenBatchTest, ARecordBeforeTheJobThatStopsTheBatchStopsTheJob)
{
    const std::string tiff = "2\n" + dir.File("pan.tif") + "\n" + dir.File("blue.tiff") + "\n";
    PanSharpenJob job = BatchJob("3 1\n" + Single(1, "a") + tiff);
    EXPECT_EQ(RunBatchJob(job.batchPath, 3, host, PanSharpenBatchActions(job, counters)).batch,
              BatchOutcome::Stopped);
    EXPECT_THAT(host.Messages(), ElementsAre(kGroupOrder));
    EXPECT_THAT(host.Log(), IsEmpty());
    EXPECT_FALSE(Exists(dir.File("a.bmp")));
}

// (A job that would be skipped is marked so: batch_jobs.sh.)
TEST_F(PanSharpenBatchTest, ListingNamesInputsAndTheIndicatorsOutputsWithoutRunning)
{
    WriteFileBytes(dir.File("combine.bif"), "2 2\n" + Single(1, "a", "not used") + "2\nnot used\n" +
                                                dir.File("ms.tif") + "\nb.bmp\nb.tif\n");
    BandCombinationJob job(CombineDepth::Sixteen);
    ASSERT_TRUE(BrowseCombineBlue(job, dir.File("combine.bif"), host));
    std::vector<BatchJobEntry> jobs;
    long count = 0;
    ASSERT_EQ(
        ListBatchJobs(job.batchPath, host, BandCombinationBatchActions(job, counters), jobs, count),
        BatchOutcome::Completed);
    ASSERT_EQ(jobs.size(), 2u);
    EXPECT_THAT(jobs[0].inputs,
                ElementsAre(dir.File("blue.tif"), dir.File("green.tif"), dir.File("red.tif")));
    EXPECT_THAT(jobs[0].outputs, ElementsAre(dir.File("a.tif")));  // indicator 2: the GeoTIFF only
    EXPECT_THAT(jobs[1].inputs, ElementsAre(dir.File("ms.tif")));
    EXPECT_FALSE(jobs[1].skipped);
    EXPECT_THAT(host.Messages(), IsEmpty());
    EXPECT_THAT(host.Log(), IsEmpty());
    EXPECT_FALSE(Exists(dir.File("a.tif")));
}

}  // namespace
}  // namespace lumesta::testing
