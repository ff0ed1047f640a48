#include "core/option_table.h"

#include <gtest/gtest.h>

#include "tests/support/fake_host.h"

namespace lumesta::testing {
namespace {

// A small tool with one option of each kind, to check the table rules without real inputs.
struct ToyJob {
    std::string input;
    int count = 7;
    std::vector<int> list;
    std::string mode;
    std::vector<bool> parts;
    bool fast = false;
    std::vector<std::string> order;  // the options in the order they were set
};

bool IsBatch(const std::string& path)
{
    return path.size() > 4 && path.substr(path.size() - 4) == ".bif";
}

OptionTable<ToyJob> ToyTable(CheckOrder order)
{
    OptionTable<ToyJob> table;
    table.tool.name = "toy";
    table.tool.description = "Does toy things.\n";
    table.tool.checkOrder = order;
    table.tool.isBatchFile = IsBatch;
    OptionRow<ToyJob> input{FileOption(ValueKind::InputFile, "--in", {".img"}, true, "input"),
                            [](ToyJob& job, const OptionUse& use) {
                                job.input = use.Text();
                                job.order.push_back("in");
                                return use.Text() == "refused" ? Stopped() : Applied();
                            }};
    input.def.synopsis = Synopsis::Plain;
    input.def.need = Need::Required;
    input.def.armsBatch = true;
    OptionRow<ToyJob> other{FileOption(ValueKind::InputFile, "--other", {}, true, "other")};
    other.def.need = Need::RequiredUnlessBatch;
    other.def.synopsis = Synopsis::Plain;
    OptionRow<ToyJob> count{IntegerOption("--count", "N", 1, 9, "count"),
                            StoresInt(&ToyJob::count)};
    count.def.newLine = true;
    OptionRow<ToyJob> list{IntegerListOption("--list", "A,B", 2, 0, 5, "list"),
                           [](ToyJob& job, const OptionUse& use) {
                               job.list = use.Ints();
                               job.order.push_back("list");
                               return job.list[0] == 5 ? WrongCommandLine("five first") : Applied();
                           }};
    list.def.synopsis = Synopsis::WithPrevious;
    OptionRow<ToyJob> mode{ChoiceOption(ValueKind::Choice, "--mode", {"a", "b", "c"}, "mode"),
                           [](ToyJob& job, const OptionUse& use) {
                               job.mode = use.Text();
                               return Applied();
                           }};
    OptionRow<ToyJob> parts{ChoiceOption(ValueKind::ChoiceList, "--parts", {"x", "y"}, "parts"),
                            [](ToyJob& job, const OptionUse& use) {
                                job.parts = *use.values.Choices(use.def.name);
                                return Applied();
                            }};
    parts.def.metavar = "LIST|none";
    OptionRow<ToyJob> fast{FlagOption("--fast", "fast"), StoresGiven(&ToyJob::fast), true};
    table.rows = {input, other, count, list, mode, parts, fast};
    return table;
}

class OptionTableTest : public ::testing::Test {
protected:
    // Reads, checks and applies a command line; the wrong-command-line text, or "stopped", or "".
    std::string Run(const std::vector<std::string>& args,
                    CheckOrder order = CheckOrder::ValuesFirst)
    {
        const auto table = ToyTable(order);
        const ToolOptions tool = table.Describe();
        OptionValues values;
        std::string wrong = values.Read(args, tool.options);
        if (wrong.empty()) wrong = CheckCommandLine(values, tool);
        if (!wrong.empty()) return wrong;
        const ApplyResult result = table.Apply(job, values, host);
        return result.status == ApplyStatus::Stopped ? "stopped" : result.text;
    }

    ToyJob job;
    FakeHost host;
};

TEST_F(OptionTableTest, SplittingNamesUnknownMissingAndRepeatedOptions)
{
    EXPECT_EQ(Run({"--in", "a", "--other", "b", "--bogus"}), "unknown option --bogus");
    EXPECT_EQ(Run({"--fast=1", "--in", "a"}), "unknown option --fast=1");
    EXPECT_EQ(Run({"--in=a", "--in", "b"}), "option --in given twice");
    EXPECT_EQ(Run({"--in", "a", "--count"}), "option --count needs a value");
    // "--name=value" and "--name value" are the same; a value may start with dashes.
    EXPECT_EQ(Run({"--in=a", "--other", "--fast"}), "");
    EXPECT_EQ(job.input, "a");
    EXPECT_FALSE(job.fast);
}

TEST_F(OptionTableTest, ValuesAreCheckedWithTheirOwnTexts)
{
    const std::vector<std::string> base{"--in", "a", "--other", "b"};
    auto with = [&](std::initializer_list<std::string> more) {
        auto args = base;
        args.insert(args.end(), more);
        return args;
    };
    EXPECT_EQ(Run(with({"--count", "10"})), "--count takes a whole number from 1 to 9");
    EXPECT_EQ(Run(with({"--count", "3x"})), "--count takes a whole number from 1 to 9");
    EXPECT_EQ(Run(with({"--list", "1,2,"})),
              "--list takes 2 comma-separated whole numbers from 0 to 5");
    EXPECT_EQ(Run(with({"--list", "1"})),
              "--list takes 2 comma-separated whole numbers from 0 to 5");
    EXPECT_EQ(Run(with({"--list", "1,6"})),
              "--list takes 2 comma-separated whole numbers from 0 to 5");
    EXPECT_EQ(Run(with({"--mode", "d"})), "--mode takes a, b or c");
    EXPECT_EQ(Run(with({"--parts", "x,none"})), "--parts takes x, y or none");
    EXPECT_EQ(Run(with({"--parts", ",x"})), "--parts takes x, y or none");
    EXPECT_EQ(Run(with({"--log="})), "--log needs a file name");
    EXPECT_EQ(Run(with({"--no", "--yes"})), "--yes and --no exclude each other");
}

TEST_F(OptionTableTest, CheckOrderDecidesWhichFaultIsNamedFirst)
{
    // The options every tool takes come first, whatever the order.
    EXPECT_EQ(Run({"--count", "0", "--log="}), "--log needs a file name");
    EXPECT_EQ(Run({"--count", "0"}, CheckOrder::ValuesFirst),
              "--count takes a whole number from 1 to 9");
    EXPECT_EQ(Run({"--count", "0"}, CheckOrder::RequiredFirst), "--in is required");
    EXPECT_EQ(Run({"--in", "a"}), "--other is required");
    // A batch file given to the arming option makes the other input optional.
    EXPECT_EQ(Run({"--in", "jobs.bif"}), "");
}

TEST_F(OptionTableTest, RowsSetTheJobInTableOrderAndStopAtTheFirstFailure)
{
    EXPECT_EQ(Run({"--list", "1,+2", "--fast", "--parts", "none", "--mode", "b", "--count", "+4",
                   "--other", "o", "--in", "a"}),
              "");
    EXPECT_EQ(job.order, (std::vector<std::string>{"in", "list"}));
    EXPECT_EQ(job.count, 4);
    EXPECT_EQ(job.list, (std::vector<int>{1, 2}));
    EXPECT_EQ(job.mode, "b");
    EXPECT_EQ(job.parts, (std::vector<bool>{false, false}));
    EXPECT_TRUE(job.fast);

    job = ToyJob();
    EXPECT_EQ(Run({"--in", "a", "--other", "o", "--parts", "y", "--list", "5,0", "--count", "2"}),
              "five first");
    EXPECT_EQ(job.count, 2);         // set before --list
    EXPECT_TRUE(job.parts.empty());  // never reached
    job = ToyJob();
    EXPECT_EQ(Run({"--in", "refused", "--other", "o", "--count", "2"}), "stopped");
    EXPECT_EQ(job.count, 7);
}

TEST_F(OptionTableTest, SynopsisFollowsTheRowsLayout)
{
    EXPECT_EQ(UsageText(ToyTable(CheckOrder::ValuesFirst).Describe()),
              "usage: lumesta-cli toy --in PATH --other PATH\n"
              "         [--count N --list A,B] [--mode a|b|c] [--parts LIST|none] [--fast]"
              " [--log FILE] [--yes|--no] [--display] [--quiet]\n"
              "\n"
              "Does toy things.\n");
    auto table = ToyTable(CheckOrder::ValuesFirst);
    table.tool.runOptionsLayout = RunOptionsLayout::NoDisplayQuiet;
    const std::string usage = UsageText(table.Describe());
    EXPECT_NE(usage.find("[--fast] [--log FILE] [--yes|--no]\n         [--quiet]\n"),
              std::string::npos)
        << usage;
}

TEST(OptionValuesTest, RepeatableOptionsAndOptionsTakingSeveralValuesKeepEveryValue)
{
    ToolOptions tool;
    tool.tool.name = "multi";
    OptionDef ms = FileOption(ValueKind::InputFile, "--ms", {".tif"}, true, "ms");
    ms.metavar = "M...";
    ms.takesSeveral = true;
    ms.synopsis = Synopsis::Plain;
    OptionDef method = ChoiceOption(ValueKind::Choice, "--method", {"gsa", "awlp"}, "method");
    method.metavar = "NAME";
    method.repeatable = true;
    tool.options = {ms, method, IntegerOption("--ratio", "N", 2, 8, "ratio")};

    OptionValues values;
    ASSERT_EQ(
        values.Read({"--ms", "a", "b", "-c", "--method", "gsa", "--ratio", "4", "--method=awlp"},
                    tool.options),
        "");
    EXPECT_EQ(values.Texts("--ms"), (std::vector<std::string>{"a", "b", "-c"}));
    EXPECT_EQ(values.Texts("--method"), (std::vector<std::string>{"gsa", "awlp"}));
    EXPECT_EQ(CheckCommandLine(values, tool), "");
    ASSERT_EQ(values.Read({"--ms", "a", "--method", "gsa", "--method", "brovey"}, tool.options),
              "");
    EXPECT_EQ(CheckCommandLine(values, tool), "--method takes gsa or awlp");
    EXPECT_EQ(values.Read({"--ms"}, tool.options), "option --ms needs a value");
    EXPECT_EQ(UsageText(tool),
              "usage: lumesta-cli multi --ms M... [--method NAME]... [--ratio N]\n\n");
}

}  // namespace
}  // namespace lumesta::testing
