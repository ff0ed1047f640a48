#include "assess/semivariance.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "assess/assess_browse.h"
#include "assess/semivariance_kernel.h"
#include "tests/engine/assess/assess_bands.h"
#include "tests/support/fake_host.h"
#include "tests/support/temp_dir.h"

namespace lumesta {
namespace {

using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::IsEmpty;

// The pair sets written out literally, summed in pair order in double precision.
template <typename T>
double NaiveSum(const std::vector<T>& x, int w, int h, Orientation o, int lag)
{
    double sum = 0.0;
    for (int i = 0; i < h; ++i) {
        for (int j = 0; j < w; ++j) {
            int i2 = i;
            int j2 = j;
            if (o == Orientation::Deg0) j2 = j + lag;
            if (o == Orientation::Deg45) i2 = i + lag, j2 = j - lag;
            if (o == Orientation::Deg90) i2 = i + lag;
            if (o == Orientation::Deg135) i2 = i + lag, j2 = j + lag;
            if (i2 >= h || j2 < 0 || j2 >= w) continue;
            const std::int64_t d = static_cast<std::int64_t>(x[i * w + j]) - x[i2 * w + j2];
            sum += static_cast<double>(d * d);
        }
    }
    return sum;
}

const Orientation kAll[4] = {Orientation::Deg0, Orientation::Deg45, Orientation::Deg90,
                             Orientation::Deg135};

TEST(PairSumKernelTest, PairCountsOfA64By48Image)
{
    EXPECT_EQ(PairCount(Orientation::Deg0, 64, 48, 1), 3024);
    EXPECT_EQ(PairCount(Orientation::Deg45, 64, 48, 1), 2961);
    EXPECT_EQ(PairCount(Orientation::Deg90, 64, 48, 1), 3008);
    EXPECT_EQ(PairCount(Orientation::Deg135, 64, 48, 1), 2961);
}

TEST(PairSumKernelTest, SumsEqualPairOrderSumsForEveryPathAndOrientation)
{
    // Odd widths exercise the vector tails; the third band spans more than 32767 and has
    // differences whose squares overflow 32 bits.
    const int w = 77;
    const int h = 41;
    const auto narrow = testing::PatternBand(w, h, 2048);
    auto wide = testing::PatternBand(w, h, 65536);
    std::vector<std::uint8_t> bytes(narrow.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(narrow[i]);
    const PairSumKernel<std::int16_t> narrowKernel(narrow.data(), w, h);
    const PairSumKernel<std::int16_t> wideKernel(wide.data(), w, h);
    const PairSumKernel<std::uint8_t> byteKernel(bytes.data(), w, h);
    for (const Orientation o : kAll) {
        for (int lag : {1, 2, 17, 30}) {
            EXPECT_EQ(narrowKernel.SumOfSquares(o, lag), NaiveSum(narrow, w, h, o, lag));
            EXPECT_EQ(wideKernel.SumOfSquares(o, lag), NaiveSum(wide, w, h, o, lag));
            EXPECT_EQ(byteKernel.SumOfSquares(o, lag), NaiveSum(bytes, w, h, o, lag));
        }
    }
    // The extreme difference of signed 16-bit samples: 65535² per pair, far past 32 bits.
    std::vector<std::int16_t> extremes(64 * 32);
    for (std::size_t i = 0; i < extremes.size(); ++i) extremes[i] = i % 2 ? 32767 : -32768;
    const PairSumKernel<std::int16_t> extremeKernel(extremes.data(), 64, 32);
    EXPECT_EQ(extremeKernel.SumOfSquares(Orientation::Deg0, 1), 63.0 * 32 * 65535.0 * 65535.0);
}

TEST(PairSumKernelTest, LargeSumsFollowThePairOrderRounding)
{
    // Samples at the two ends of the 16-bit range push the sums past 2^53, where the order of
    // a double-precision sum decides its rounding.
    const int w = 2048;
    const int h = 4096;
    auto band = testing::PatternBand(w, h, 2, 3);
    for (auto& sample : band) sample = sample ? 32767 : -32768;
    const PairSumKernel<std::int16_t> kernel(band.data(), w, h);
    const double inOrder = NaiveSum(band, w, h, Orientation::Deg90, 5);
    EXPECT_GT(inOrder, 9007199254740992.0);
    EXPECT_EQ(kernel.SumOfSquares(Orientation::Deg90, 5), inOrder);
}

class SemivarianceRunTest : public ::testing::Test {
protected:
    // A 16-bit ENVI band of the given samples, browsed as the dialog does.
    SemivarianceJob BrowsedJob(int w, int h, const std::vector<std::int16_t>& samples, int maxLag)
    {
        const std::string path = dir.File("band.img");
        testing::WriteInt16File(path, samples);
        testing::WriteAssessEnviHeader(path, w, h, 1, 2);
        SemivarianceJob job;
        if (!BrowseSemivarianceInput(job, path, host)) throw std::runtime_error("browse failed");
        job.maxLag = maxLag;
        return job;
    }

    std::vector<std::string> TableLines() const
    {
        std::vector<std::string> lines;
        const std::string text = testing::ReadFileBytes(dir.File("band_SemiVariance.txt"));
        for (std::size_t start = 0; start < text.size();) {
            const std::size_t end = text.find("\r\n", start);
            if (end == std::string::npos) {
                lines.push_back("unterminated: " + text.substr(start));
                break;
            }
            lines.push_back(text.substr(start, end - start));
            start = end + 2;
        }
        return lines;
    }

    testing::TempDir dir;
    testing::FakeHost host;
    RunCounters counters;
};

TEST_F(SemivarianceRunTest, ReportBlockAndTableOfATwoValuedImage)
{
    // Columns alternate 0 and 10: odd lags along lines differ by 10, even lags not at all.
    std::vector<std::int16_t> samples(64 * 48);
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = (i % 64) % 2 ? 10 : 0;
    SemivarianceJob job = BrowsedJob(64, 48, samples, 3);
    EXPECT_EQ(ComputeSemivariance(job, counters, host), RunOutcome::Finished);
    EXPECT_EQ(host.Log(),
              "Log File: \r\n\r\n~~~~~~~~~~~ SemiVariance Calculation (1) ~~~~~~~~~~~~~~~~\r\n\r\n"
              "(a) Input Image Name:\r\nInput:\t\t" +
                  dir.File("band.img") +
                  "\r\n"
                  "Width:\t\t64 pixels\r\nHeight:\t\t48 pixels\r\nImage Size:\t3072 pixels\r\n"
                  "File Size:\t6144 bytes\r\n\r\n(b) Specifications:\r\n"
                  "Maximum Lag Length: \t3 pixels\r\n\r\n(c) Output Semivariance File:\r\n"
                  "Output:\t" +
                  dir.File("band_SemiVariance.txt") + "\r\n\r\nFinished\r\n\r\n");
    EXPECT_THAT(TableLines(),
                ElementsAre("Lag\t     Freq.\t  0 Degree\t     Freq.\t 45 Degree\t     Freq.\t"
                            " 90 Degree\t     Freq.\t 135 Degree",
                            "1\t      3024\t     50.00\t      2961\t     50.00\t      3008\t"
                            "      0.00\t      2961\t     50.00",
                            "2\t      2976\t      0.00\t      2852\t      0.00\t      2944\t"
                            "      0.00\t      2852\t      0.00",
                            "3\t      2928\t     50.00\t      2745\t     50.00\t      2880\t"
                            "      0.00\t      2745\t     50.00"));
    EXPECT_THAT(host.Viewed(), ElementsAre(dir.File("band_SemiVariance.txt")));
    EXPECT_THAT(host.ProgressCaptions(), ElementsAre("Processing ..."));
    EXPECT_EQ(host.BusyDepth(), 0);

    // A second run opens its block with a line end and counts semivariance runs only.
    host.ClearLog();
    EXPECT_EQ(ComputeSemivariance(job, counters, host), RunOutcome::Finished);
    EXPECT_EQ(host.Log().substr(0, 46), "\r\n~~~~~~~~~~~ SemiVariance Calculation (2) ~~~");
}

TEST_F(SemivarianceRunTest, ValidationMessagesInOrderWithNothingLogged)
{
    SemivarianceJob job = BrowsedJob(64, 64, std::vector<std::int16_t>(64 * 64), 54);
    const auto refusal = [&](SemivarianceJob tried) {
        host.ClearMessages();
        EXPECT_EQ(ComputeSemivariance(tried, counters, host), RunOutcome::Stopped);
        return host.Messages().empty() ? std::string() : host.Messages().front();
    };
    SemivarianceJob noOutput = job;
    noOutput.outputPath.clear();
    noOutput.input.width = 0;
    EXPECT_EQ(refusal(noOutput), "Please input file names");
    SemivarianceJob noSize = job;
    noSize.input.height = 0;
    noSize.maxLag = 0;
    EXPECT_EQ(refusal(noSize), "Please input width and height.");
    for (int lag : {0, -5}) {
        SemivarianceJob noLag = job;
        noLag.maxLag = lag;
        noLag.input.width = 20;
        noLag.input.height = 20;
        EXPECT_EQ(refusal(noLag), "Please input the max lag number.");
    }
    SemivarianceJob small = job;
    small.input.width = 31;
    small.input.height = 31;
    EXPECT_EQ(refusal(small), "Image size is too small; the minimum size is 32*32.");
    SemivarianceJob big = job;
    big.input.width = 40001;
    big.input.height = 40001;
    EXPECT_EQ(
        refusal(big),
        "Image size is too big; If you wish to have this limit relaxed, please contact developer.");
    EXPECT_EQ(refusal(job), "Image is too small, or the max. lag is too large.");
    EXPECT_EQ(host.Log(), "");
    EXPECT_EQ(counters.GetTotalRunCount(), 0);

    job.maxLag = 53;  // the largest lag a 64 × 64 image allows
    host.ClearMessages();
    EXPECT_EQ(ComputeSemivariance(job, counters, host), RunOutcome::Finished);
    EXPECT_THAT(host.Messages(), IsEmpty());
}

TEST_F(SemivarianceRunTest, FileSizeDecidesTheSampleKind)
{
    // A generic file of width × height bytes is 8-bit; every other size stops after (a).
    const std::string raw = dir.File("bytes.raw");
    std::vector<std::uint8_t> bytes(40 * 40, 7);
    bytes[0] = 255;
    testing::WriteByteFile(raw, bytes);
    SemivarianceJob job;
    ASSERT_TRUE(BrowseSemivarianceInput(job, raw, host));
    job.input.width = 40;
    job.input.height = 40;
    job.maxLag = 1;
    EXPECT_EQ(ComputeSemivariance(job, counters, host), RunOutcome::Finished);
    // Unsigned bytes: 255 − 7 = 248, squared 61504, over 2 × 1560 pairs.
    const std::string table = testing::ReadFileBytes(dir.File("bytes_SemiVariance.txt"));
    EXPECT_NE(table.find("1\t      1560\t     19.71\t"), std::string::npos) << table;

    host.ClearLog();
    job.input.width = 41;
    EXPECT_EQ(ComputeSemivariance(job, counters, host), RunOutcome::Stopped);
    EXPECT_THAT(host.Messages(), ElementsAre("Check the file size of the input image."));
    EXPECT_THAT(host.Log(), EndsWith("Image Size:\t1640 pixels\r\nUnsucessful\r\n\r\n"));
}

TEST_F(SemivarianceRunTest, MultiBandEnviReadsTheSelectedBand)
{
    std::vector<std::int16_t> samples(3 * 32 * 32, 5);
    for (int i = 2 * 1024; i < 3 * 1024; i += 2) samples[i] = 9;  // band 3 alternates 9, 5
    const std::string path = dir.File("three.img");
    testing::WriteInt16File(path, samples);
    testing::WriteAssessEnviHeader(path, 32, 32, 3, 2, "A,B,C");
    SemivarianceJob job;
    ASSERT_TRUE(BrowseSemivarianceInput(job, path, host));
    SelectAssessInputEntry(job.input, 2);
    job.maxLag = 1;
    EXPECT_EQ(ComputeSemivariance(job, counters, host), RunOutcome::Finished);
    EXPECT_NE(host.Log().find("Input:\t\t" + path + " (C)\r\n"), std::string::npos);
    EXPECT_NE(host.Log().find("File Size:\t6144 bytes\r\n\r\n"), std::string::npos);
    const std::string table = testing::ReadFileBytes(dir.File("three_SemiVariance.txt"));
    EXPECT_NE(table.find("1\t       992\t      8.00\t"), std::string::npos) << table;
}

TEST_F(SemivarianceRunTest, DeclinedOverwriteAndCancelLeaveNoTable)
{
    SemivarianceJob job = BrowsedJob(40, 40, std::vector<std::int16_t>(1600, 3), 2);
    testing::WriteFileBytes(job.outputPath, "earlier");
    host.QueueAnswers({false});
    EXPECT_EQ(ComputeSemivariance(job, counters, host), RunOutcome::Stopped);
    EXPECT_THAT(host.Log(), EndsWith("Unsucessful\r\n\r\n"));
    EXPECT_EQ(testing::ReadFileBytes(job.outputPath), "earlier");

    // Cancel at the third lag pump: the earlier file was deleted by the overwrite question.
    host.ClearLog();
    host.cancelAtPump = host.Pumps() + 3;
    EXPECT_EQ(ComputeSemivariance(job, counters, host), RunOutcome::Cancelled);
    EXPECT_THAT(host.Log(), EndsWith("Cancelled\r\n\r\n"));
    EXPECT_FALSE(testing::Exists(job.outputPath));
    EXPECT_THAT(host.Viewed(), IsEmpty());
}

TEST_F(SemivarianceRunTest, ConstantImageHasZeroSemivariance)
{
    SemivarianceJob job = BrowsedJob(48, 40, std::vector<std::int16_t>(48 * 40, 1234), 5);
    EXPECT_EQ(ComputeSemivariance(job, counters, host), RunOutcome::Finished);
    const auto lines = TableLines();
    ASSERT_EQ(lines.size(), 6u);
    for (int lag = 1; lag <= 5; ++lag) {
        std::size_t zeros = 0;
        for (std::size_t at = lines[lag].find("\t      0.00"); at != std::string::npos;
             at = lines[lag].find("\t      0.00", at + 1)) {
            ++zeros;
        }
        EXPECT_EQ(zeros, 4u) << lines[lag];
    }
}

}  // namespace
}  // namespace lumesta

namespace lumesta {
namespace {

TEST_F(SemivarianceRunTest, AnOutputNamingTheInputOrAnUnwritableTableStopsUnsuccessfully)
{
    const std::string raw = dir.File("bytes.raw");
    testing::WriteByteFile(raw, std::vector<std::uint8_t>(40 * 40, 9));
    SemivarianceJob job;
    ASSERT_TRUE(BrowseSemivarianceInput(job, raw, host));
    job.input.width = 40;
    job.input.height = 40;
    job.maxLag = 1;
    job.outputPath = raw;
    EXPECT_EQ(ComputeSemivariance(job, counters, host), RunOutcome::Stopped);
    EXPECT_TRUE(host.Questions().empty());
    EXPECT_EQ(testing::ReadFileBytes(raw).size(), 1600u);
    EXPECT_THAT(host.Log(), EndsWith("Unsucessful\r\n\r\n"));

    host.ClearMessages();
    job.outputPath = dir.File("no such folder/table.txt");
    EXPECT_EQ(ComputeSemivariance(job, counters, host), RunOutcome::Stopped);
    EXPECT_THAT(host.Messages(), ElementsAre("Error - output text!"));
    EXPECT_THAT(host.Log(), EndsWith("Unsucessful\r\n\r\n"));
    EXPECT_TRUE(host.Viewed().empty());
}

}  // namespace
}  // namespace lumesta
