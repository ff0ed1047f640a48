#include "assess/semivariance.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "assess/assess_browse.h"
#include "assess/pair_sum_stream.h"
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

// Streams a band through PairSumStream a strip of `lines` at a time, as the run does.
template <typename T>
PairSumStream<T> Streamed(const std::vector<T>& band, int w, int h, int maxLag, int lines)
{
    PairSumStream<T> sums(w, h, maxLag);
    for (int walk = 0; walk < 2; ++walk) {
        if (walk == 1 && !sums.NeedsPairOrderWalk()) break;
        for (int first = 0; first < h; first += lines) {
            const int count = std::min(lines, h - first);
            const int windowLines = std::min(h, first + count + maxLag) - first;
            const T* window = band.data() + static_cast<std::size_t>(first) * w;
            if (walk == 0) sums.Add(window, first, windowLines, first, count);
            if (walk == 1) sums.AddInPairOrder(window, first, windowLines, first, count);
        }
    }
    return sums;
}

// Strips of any height give the whole band's sums, small ones exact and large ones in pair
// order.
TEST(PairSumKernelTest, StreamedStripsGiveTheWholeBandSums)
{
    const int w = 61;
    const int h = 203;
    const auto band = testing::PatternBand(w, h, 4096, 5);
    for (const int lines : {1, 7, 64, 203}) {
        const PairSumStream<std::int16_t> sums = Streamed(band, w, h, 12, lines);
        for (int o = 0; o < 4; ++o) {
            for (int lag = 1; lag <= 12; ++lag) {
                const auto orientation = static_cast<Orientation>(o);
                ASSERT_EQ(sums.SumOfSquares(orientation, lag), NaiveSum(band, w, h, orientation, lag))
                    << lines << " " << o << " " << lag;
            }
        }
    }
}

// Samples at the two ends of the 16-bit range push the sums past 2^53, where the order of a
// double-precision sum decides its rounding: whole band and strips alike follow pair order.
TEST(PairSumKernelTest, LargeSumsFollowThePairOrderRounding)
{
    auto extremes = testing::PatternBand(2048, 4096, 2, 3);
    for (auto& sample : extremes) sample = sample ? 32767 : -32768;
    const double inOrder = NaiveSum(extremes, 2048, 4096, Orientation::Deg90, 5);
    EXPECT_GT(inOrder, 9007199254740992.0);
    const PairSumKernel<std::int16_t> kernel(extremes.data(), 2048, 4096);
    EXPECT_EQ(kernel.SumOfSquares(Orientation::Deg90, 5), inOrder);
    const PairSumStream<std::int16_t> large = Streamed(extremes, 2048, 4096, 5, 64);
    EXPECT_TRUE(large.NeedsPairOrderWalk());
    EXPECT_EQ(large.SumOfSquares(Orientation::Deg90, 5), inOrder);
}

class SemivarianceRunTest : public ::testing::Test {
protected:
    // A 16-bit ENVI band of the given samples, browsed as the dialog does.
    SemivarianceJob BrowsedJob(int w, int h, const std::vector<std::int16_t>& samples, int maxLag)
    {
        const std::string path = dir.File("band.img");
        testing::WriteInt16File(path, samples);
        testing::WriteEnviHeader(path, w, h, 1);
        SemivarianceJob job;
        if (!BrowseSemivarianceInput(job, path, host)) throw std::runtime_error("browse failed");
        job.maxLag = maxLag;
        return job;
    }

    // A headerless 40 × 40 byte file, browsed, lag 1.
    SemivarianceJob RawBytesJob(const std::vector<std::uint8_t>& bytes)
    {
        testing::WriteByteFile(dir.File("bytes.raw"), bytes);
        SemivarianceJob job;
        if (!BrowseSemivarianceInput(job, dir.File("bytes.raw"), host)) {
            throw std::runtime_error("browse failed");
        }
        job.input.width = 40;
        job.input.height = 40;
        job.maxLag = 1;
        return job;
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
    const std::string d = dir.Path() + "/";
    EXPECT_EQ(host.Log(),
              "Log File: \r\n\r\n~~~~~~~~~~~ SemiVariance Calculation (1) ~~~~~~~~~~~~~~~~\r\n\r\n"
              "(a) Input Image Name:\r\nInput:\t\t" + d + "band.img\r\n"
              "Width:\t\t64 pixels\r\nHeight:\t\t48 pixels\r\nImage Size:\t3072 pixels\r\n"
              "File Size:\t6144 bytes\r\n\r\n(b) Specifications:\r\n"
              "Maximum Lag Length: \t3 pixels\r\n\r\n(c) Output Semivariance File:\r\n"
              "Output:\t" + d + "band_SemiVariance.txt\r\n\r\nFinished\r\n\r\n");
    EXPECT_EQ(testing::ReadFileBytes(dir.File("band_SemiVariance.txt")),
              "Lag\t     Freq.\t  0 Degree\t     Freq.\t 45 Degree\t     Freq.\t"
              " 90 Degree\t     Freq.\t 135 Degree\r\n"
              "1\t      3024\t     50.00\t      2961\t     50.00\t      3008\t"
              "      0.00\t      2961\t     50.00\r\n"
              "2\t      2976\t      0.00\t      2852\t      0.00\t      2944\t"
              "      0.00\t      2852\t      0.00\r\n"
              "3\t      2928\t     50.00\t      2745\t     50.00\t      2880\t"
              "      0.00\t      2745\t     50.00\r\n");
    EXPECT_THAT(host.Viewed(), ElementsAre(dir.File("band_SemiVariance.txt")));
    EXPECT_THAT(host.ProgressCaptions(), ElementsAre("Processing ..."));
    EXPECT_EQ(host.BusyDepth(), 0);

    // A second run opens its block with a line end and counts semivariance runs only.
    host.ClearLog();
    EXPECT_EQ(ComputeSemivariance(job, counters, host), RunOutcome::Finished);
    EXPECT_EQ(host.Log().substr(0, 46), "\r\n~~~~~~~~~~~ SemiVariance Calculation (2) ~~~");
}

// A band of 300 lines slides its window over five strips, the maximum lag reaching well into
// the next strip: every table entry equals the whole-band sum of its orientation and lag.
TEST_F(SemivarianceRunTest, SlidingWindowGivesTheWholeBandTable)
{
    const int w = 45;
    const int h = 300;
    const int maxLag = 30;
    const auto band = testing::PatternBand(w, h, 2048, 9);
    SemivarianceJob job = BrowsedJob(w, h, band, maxLag);
    ASSERT_EQ(ComputeSemivariance(job, counters, host), RunOutcome::Finished);

    SemivarianceTable expected;
    for (int o = 0; o < 4; ++o) {
        for (int lag = 1; lag <= maxLag; ++lag) {
            const auto orientation = static_cast<Orientation>(o);
            const std::int64_t pairs = PairCount(orientation, w, h, lag);
            expected.pairs[o].push_back(pairs);
            expected.gamma[o].push_back(NaiveSum(band, w, h, orientation, lag) / static_cast<double>(2 * pairs));
        }
    }
    ASSERT_TRUE(WriteSemivarianceTable(dir.File("whole.txt"), expected, host));
    EXPECT_EQ(testing::ReadFileBytes(job.outputPath), testing::ReadFileBytes(dir.File("whole.txt")));
    EXPECT_EQ(host.ProgressPositions().back(), 100);  // one step per lag and orientation
}

TEST_F(SemivarianceRunTest, ValidationMessagesInOrderWithNothingLogged)
{
    SemivarianceJob job = BrowsedJob(64, 64, std::vector<std::int16_t>(64 * 64), 54);
    using Edit = void (*)(SemivarianceJob&);
    const std::pair<Edit, const char*> cases[] = {
        {[](SemivarianceJob& j) { j.outputPath.clear(); j.input.width = 0; },
         "Please input file names"},
        {[](SemivarianceJob& j) { j.input.height = 0; j.maxLag = 0; },
         "Please input width and height."},
        {[](SemivarianceJob& j) { j.input.width = j.input.height = 20; j.maxLag = 0; },
         "Please input the max lag number."},
        {[](SemivarianceJob& j) { j.input.width = j.input.height = 20; j.maxLag = -5; },
         "Please input the max lag number."},
        {[](SemivarianceJob& j) { j.input.width = j.input.height = 31; },
         "Image size is too small; the minimum size is 32*32."},
        {[](SemivarianceJob& j) { j.input.width = j.input.height = 40001; },
         "Image size is too big; If you wish to have this limit relaxed, please contact developer."},
        {[](SemivarianceJob&) {}, "Image is too small, or the max. lag is too large."},
    };
    for (const auto& [edit, message] : cases) {
        SemivarianceJob tried = job;
        edit(tried);
        host.ClearMessages();
        EXPECT_EQ(ComputeSemivariance(tried, counters, host), RunOutcome::Stopped);
        EXPECT_THAT(host.Messages(), ElementsAre(message));
    }
    EXPECT_EQ(host.Log(), "");
    EXPECT_EQ(counters.GetTotalRunCount(), 0);

    job.maxLag = 53;  // the largest lag a 64 × 64 image allows
    host.ClearMessages();
    EXPECT_EQ(ComputeSemivariance(job, counters, host), RunOutcome::Finished);
    EXPECT_THAT(host.Messages(), IsEmpty());
}

TEST_F(SemivarianceRunTest, GenericFileOfOneBytePerPixelIsUnsigned)
{
    std::vector<std::uint8_t> bytes(40 * 40, 7);
    bytes[0] = 255;
    SemivarianceJob job = RawBytesJob(bytes);
    EXPECT_EQ(ComputeSemivariance(job, counters, host), RunOutcome::Finished);
    // Unsigned bytes: 255 − 7 = 248, squared 61504, over 2 × 1560 pairs.
    const std::string table = testing::ReadFileBytes(dir.File("bytes_SemiVariance.txt"));
    EXPECT_NE(table.find("1\t      1560\t     19.71\t"), std::string::npos) << table;
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

TEST_F(SemivarianceRunTest, AnOutputNamingTheInputOrAnUnwritableTableStopsUnsuccessfully)
{
    SemivarianceJob job = RawBytesJob(std::vector<std::uint8_t>(40 * 40, 9));
    const std::string raw = job.outputPath = dir.File("bytes.raw");
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
