// Options of the command-line tools parsed from their tool's table into the job fields they
// stand for, where a value is derived or a default follows from other choices (the dialogs' whole
// runs against lumesta-cli and the command-line round trips cover the plain ones).

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "composite/combine_options.h"
#include "fusion/etm_options.h"
#include "fusion/pansharpen_options.h"
#include "tests/support/fake_host.h"
#include "tests/support/scene_builder.h"
#include "tests/support/temp_dir.h"
#include "workflows/tool_catalog.h"

namespace lumesta::testing {
namespace {

using Args = std::vector<std::string>;

template <typename Job>
struct Case {
    Args args;
    std::function<void(const Job&)> expect;
};

// Reads, checks and applies the command line; every case must pass without a message.
template <typename Job>
void ExpectCases(const OptionTable<Job>& table, const std::function<Job()>& makeJob,
                 const std::vector<Case<Job>>& cases)
{
    const ToolOptions tool = table.Describe();
    for (const auto& testCase : cases) {
        std::string joined;
        for (const auto& arg : testCase.args) joined += arg + " ";
        SCOPED_TRACE(tool.tool.name + " " + joined);
        FakeHost host;
        Job job = makeJob();
        OptionValues values;
        ASSERT_EQ(values.Read(testCase.args, tool.options), "");
        ASSERT_EQ(CheckCommandLine(values, tool), "");
        const ApplyResult result = table.Apply(job, values, host);
        ASSERT_EQ(result.status, ApplyStatus::Applied) << result.text;
        EXPECT_TRUE(host.Messages().empty());
        testCase.expect(job);
    }
}

Args Plus(Args args, const Args& more)
{
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

class OptionTablesTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string Path(const std::string& name) const { return dir.File(name); }
};

TEST_F(OptionTablesTest, PanSharpenOptionsSetTheirJobFields)
{
    const Scene scene = MakeScene(32, 32);
    WriteEnviScene(dir.Path(), scene);
    WriteEnvi4Scene(dir.Path(), scene);  // ms.img
    WriteFileBytes(Path("jobs.bif"), "1 0\n");
    const Args base{"--pan", Path("pan.img"), "--blue", Path("blue.img")};
    using Job = PanSharpenJob;
    ExpectCases<Job>(
        PanSharpenOptions(), [] { return Job(); },
        {
            {base,
             [&](const Job& job) {
                 EXPECT_EQ(job.panPath, Path("pan.img"));
                 EXPECT_EQ(job.msPath[kBlue], Path("blue.img"));
                 EXPECT_EQ(job.width, 32);
                 EXPECT_EQ(job.method, FusionMethod::Optimisation1);
                 EXPECT_FALSE(job.colourMatch);
                 EXPECT_FALSE(job.displayBmp);  // only with --display on the command line
                 EXPECT_EQ(job.filterType, FilterType16::Sharpen);
                 EXPECT_EQ(job.filterFlags, (std::array<bool, 4>{false, true, true, false}));
             }},
            {{"--pan", Path("pan.img"), "--blue", Path("ms.img"), "--select", "4,3,2,1"},
             [](const Job& job) {
                 EXPECT_EQ(job.selectedIndex, (std::array<int, 4>{3, 2, 1, 0}));
             }},
            {{"--pan", Path("jobs.bif"), "--select", "2,1,3,4"},
             [](const Job& job) {
                 EXPECT_TRUE(job.batchMode);
                 EXPECT_EQ(job.selectedIndex, (std::array<int, 4>{1, 0, 2, 3}));
             }},
            {Plus(base, {"--method", "glp-hpm", "--sensor", "ikonos"}),
             [](const Job& job) {
                 EXPECT_EQ(job.method, FusionMethod::GlpHpm);
                 EXPECT_EQ(job.sensor, "ikonos");
                 EXPECT_EQ(job.filterType, FilterType16::None);  // the method sharpens itself
                 EXPECT_EQ(job.filterFlags, (std::array<bool, 4>{}));
             }},
            {Plus(base, {"--filter", "detail", "--method", "awlp"}),
             [](const Job& job) {
                 EXPECT_EQ(job.method, FusionMethod::Awlp);
                 EXPECT_EQ(job.sensor, "generic");
                 EXPECT_EQ(job.filterType, FilterType16::Detail);  // asked for: kept
                 EXPECT_EQ(job.filterFlags, (std::array<bool, 4>{false, true, true, false}));
             }},
            {Plus(base, {"--suffix", "_X"}),
             [&](const Job& job) {
                 EXPECT_EQ(job.suffix, "_X");
                 EXPECT_EQ(job.bmpName, Path("pan_X.bmp"));
             }},
            {Plus(base, {"--bmp", Path("sub/../out.bmp"), "--colour-match", "--display"}),
             [&](const Job& job) {
                 EXPECT_EQ(job.bmpName, Path("out.bmp"));
                 EXPECT_TRUE(job.colourMatch);
                 EXPECT_TRUE(job.displayBmp);
             }},
            {Plus(base, {"--filter", "detail", "--filter-bands", "blue,nir", "--adjust", "1,2,3"}),
             [](const Job& job) {
                 EXPECT_EQ(job.filterType, FilterType16::Detail);
                 EXPECT_EQ(job.filterFlags, (std::array<bool, 4>{true, false, false, true}));
                 EXPECT_EQ(job.colourAmounts, (std::array<int, 3>{1, 2, 3}));
             }},
            {Plus(base, {"--cutoffs", "1,2,3,4,5,6", "--nonlinear", "7,8,9"}),
             [](const Job& job) {
                 EXPECT_EQ(job.stretch.leftCutoff, (std::array<int, 3>{1, 3, 5}));
                 EXPECT_EQ(job.stretch.rightCutoff, (std::array<int, 3>{2, 4, 6}));
                 EXPECT_EQ(job.stretch.nonlinear, (std::array<int, 3>{7, 8, 9}));
             }},
        });
}

// What the dialogs' whole runs do not set: the Landsat tool's filter defaults, and display in
// batch mode.
TEST_F(OptionTablesTest, EtmAndCombineDefaults)
{
    WriteEnviScene8(dir.Path(), MakeScene8(32, 32));
    const Args base{"--pan", Path("pan.img"), "--blue", Path("blue.img")};
    ExpectCases<EtmJob>(
        EtmOptions(), [] { return EtmJob(); },
        {
            {base,
             [](const EtmJob& job) {
                 EXPECT_EQ(job.filterType, EtmFilter::None);
                 EXPECT_EQ(job.filterFlags, (std::array<bool, 3>{}));
             }},
            {Plus(base, {"--filter", "smooth-sharpen"}),
             [](const EtmJob& job) {
                 EXPECT_EQ(job.filterType, EtmFilter::SmoothSharpen);
                 EXPECT_EQ(job.filterFlags, (std::array<bool, 3>{true, true, true}));
             }},
        });
    WriteFileBytes(Path("jobs.bif"), "1 0\n");
    ExpectCases<BandCombinationJob>(CombineOptions(CombineDepth::Sixteen),
                                    [] { return BandCombinationJob(CombineDepth::Sixteen); },
                                    {
                                        {{"--blue", Path("jobs.bif"), "--display"},
                                         [](const BandCombinationJob& job) {
                                             EXPECT_TRUE(job.batchMode);
                                             EXPECT_FALSE(job.displayBmp);  // never in batch mode
                                         }},
                                    });
}

// The catalog is what manual pages and completion are made from: every tool, each option with
// its help, file options saying which names they take, and the run options last. (Which options
// each tool takes: the command-line tests that use them.)
TEST(ToolCatalogTest, ListsEveryToolWithItsOptions)
{
    std::string names;
    for (const ToolOptions& tool : CommandLineTools()) {
        names += tool.tool.name + "|";
        std::string last;
        for (const auto& def : tool.options) {
            const bool isFile =
                def.kind == ValueKind::InputFile || def.kind == ValueKind::OutputFile;
            EXPECT_TRUE(!isFile || !def.fileFilters.empty()) << def.name;
            EXPECT_FALSE(def.help.empty()) << def.name;
            last += " " + def.name;
        }
        EXPECT_EQ(last.substr(last.size() - 34), "--log --yes --no --display --quiet")
            << tool.tool.name;
    }
    EXPECT_EQ(names,
              "pansharpen|pansharpen-etm|combine|combine8|semivariance|stats|haar|quality reduced|"
              "quality full|quality wald|degrade|register|");
}

TEST(ToolCatalogTest, DumpHasOneTabSeparatedLinePerToolAndOption)
{
    std::ostringstream out;
    DumpOptionTables(CommandLineTools(), out);
    std::istringstream lines(out.str());
    std::string line;
    int tools = 0;
    int options = 0;
    while (std::getline(lines, line)) {
        const auto fields = std::count(line.begin(), line.end(), '\t') + 1;
        if (line.rfind("tool\t", 0) == 0) {
            ++tools;
            EXPECT_EQ(fields, 3) << line;
        } else {
            ++options;
            EXPECT_EQ(fields, 9) << line;
        }
    }
    EXPECT_EQ(tools, 12);
    EXPECT_EQ(options, 28 + 19 + 11 + 11 + 7 + 7 + 9 + 10 + 13 + 14 + 11 + 9 + 12 * 5 + 4 * 3);
    EXPECT_NE(
        out.str().find("option\t--pan\tPATH\tinput-file\trequired\t.img .rst .tif .bif *\t\t\t"),
        std::string::npos);
    EXPECT_NE(
        out.str().find("option\t--filter\t\tchoice\toptional\t\tsharpen detail none\tsharpen\t"),
        std::string::npos);
}

}  // namespace
}  // namespace lumesta::testing
