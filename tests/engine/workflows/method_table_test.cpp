// The method table is the one place a fusion method is declared: a row added to it reaches the
// --method option (choices, usage, help) and the quality protocol (the dialogs' lists: the
// dialog tests).

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "fusion/fusion_method.h"
#include "fusion/pansharpen_options.h"
#include "tests/support/fake_host.h"
#include "workflows/fusion_registry.h"

namespace lumesta {
namespace {

using ::testing::ElementsAre;
using testing::FakeHost;

// Today's table with one classical and one learned method added at its end.
MethodTable WithTwoNewRows()
{
    MethodTable table = FusionMethods();
    table.push_back({static_cast<FusionMethod>(90), "ridge-x", "Ridge X", "Ridge X", "(ridge test)",
                     FilterType16::None, true, 3, 16, MethodKind::Classical,
                     MethodEngine::DetailInjection, false, nullptr});
    table.push_back({static_cast<FusionMethod>(91), "learned-x", "Learned X", "Learned X",
                     "(learned test)", FilterType16::None, false, 4, 4, MethodKind::Learned,
                     MethodEngine::DetailInjection, false, nullptr});
    return table;
}

std::vector<std::string> NamesOf(const std::vector<const FusionMethodEntry*>& entries)
{
    std::vector<std::string> names;
    for (const FusionMethodEntry* entry : entries) names.push_back(entry->name);
    return names;
}

TEST(MethodTableTest, NoNameOrLabelContainsAnothers)
{
    const MethodTable& table = FusionMethods();
    for (const FusionMethodRow& a : table) {
        for (const FusionMethodRow& b : table) {
            if (&a == &b) continue;
            EXPECT_EQ(std::string(a.name).find(b.name), std::string::npos)
                << a.name << " " << b.name;
            EXPECT_EQ(std::string(a.label).find(b.label), std::string::npos) << a.label;
            EXPECT_EQ(std::string(a.reportName).find(b.reportName), std::string::npos) << a.label;
        }
    }
}

TEST(MethodTableTest, AddedRowReachesTheMethodOptionItsUsageAndHelp)
{
    const MethodTable table = WithTwoNewRows();
    ToolOptions tool = PanSharpenOptions().Describe();
    for (OptionDef& def : tool.options) {
        if (def.name == "--method") def = MethodOption(table).def;
    }
    EXPECT_NE(UsageText(tool).find("[--method 1|2|gsa|glp-hpm|awlp|brovey|glp-ebp|glp-fs|bdsd-pc|"
                                   "sacnn|ridge-x|learned-x|auto]"),
              std::string::npos);
    const std::string help = MethodOption(table).def.help;
    EXPECT_NE(help.find(", ridge-x (ridge test), learned-x (learned test). The last ten default "
                        "to --filter none."),
              std::string::npos)
        << help;

    // Choosing the new method sets it with its default filter.
    PanSharpenJob job;
    FakeHost host;
    OptionValues values;
    ASSERT_EQ(values.Read({"--method", "ridge-x"}, tool.options), "");
    EXPECT_EQ(MethodOption(table).set(job, OptionUse{MethodOption(table).def, values, host}).status,
              ApplyStatus::Applied);
    EXPECT_EQ(job.method, static_cast<FusionMethod>(90));
    EXPECT_EQ(job.filterType, FilterType16::None);
    EXPECT_EQ(job.filterFlags, (std::array<bool, 4>{}));
}

TEST(MethodTableTest, WaldRunsEveryClassicalMethodAndLearnedOnesOnlyWhenNamed)
{
    const std::vector<FusionMethodEntry> registry = FusionMethodsOf(WithTwoNewRows());
    FakeHost host;
    std::vector<const FusionMethodEntry*> chosen;
    ASSERT_TRUE(SelectFusionMethods(4, 4, {}, host, chosen, registry));
    EXPECT_THAT(NamesOf(chosen), ElementsAre("gsa", "glp-hpm", "awlp", "brovey", "glp-ebp",
                                             "glp-fs", "bdsd-pc", "ridge-x", "1", "2"));
    ASSERT_TRUE(SelectFusionMethods(4, 4, {"learned-x", "1"}, host, chosen, registry));
    EXPECT_THAT(NamesOf(chosen), ElementsAre("learned-x", "1"));
    // The Landsat tool's three bands at ratio 2 take the optimisation methods only.
    ASSERT_TRUE(SelectFusionMethods(3, 2, {}, host, chosen, registry));
    EXPECT_THAT(NamesOf(chosen), ElementsAre("1", "2"));
    EXPECT_FALSE(SelectFusionMethods(3, 2, {"ridge-x"}, host, chosen, registry));
    EXPECT_THAT(host.Messages(),
                ElementsAre("Unknown fusion method ridge-x for 3 bands at ratio 2 (known: 1, 2)."));
}

}  // namespace
}  // namespace lumesta
