// The manual pages and the bash completion written from option tables: roff that cannot be
// misread, the README's examples, and completion that bash runs for one-word and two-word
// tools, choices, lists and options taking several files.

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "tests/support/temp_dir.h"
#include "tools/bash_completion.h"
#include "tools/manual_page.h"

namespace lumesta::testing {
namespace {

std::vector<ToolOptions> SampleTools()
{
    ToolOptions fuse{{"fuse", "Fuse bands", ".hidden first line\nSecond line.", {}, {}, nullptr},
                     {}};
    OptionDef pan =
        FileOption(ValueKind::InputFile, "--pan", {".img", ".BIF"}, true, "The pan band.");
    pan.need = Need::Required;
    OptionDef ms = FileOption(ValueKind::InputFile, "--ms", {".img"}, false, "The bands.");
    ms.takesSeveral = true;
    fuse.options = {
        pan, ms,
        ChoiceOption(ValueKind::Choice, "--filter", {"sharpen", "none"}, "The filter.", "none"),
        ChoiceOption(ValueKind::ChoiceList, "--bands", {"red", "green"}, "Bands.")};
    ToolOptions reduced{{"quality reduced", "Quality at reduced scale", "", {}, {}, nullptr},
                        {IntegerOption("--ratio", "N", 2, 8, "'Ratio' of the scales.", "4")}};
    ToolOptions full{{"quality full", "Quality at full scale", "", {}, {}, nullptr},
                     {FlagOption("--verbose", "Says more.")}};
    for (ToolOptions* tool : {&fuse, &reduced, &full}) {
        for (auto& def : RunOptionDefs(RunOptionsLayout::SameLine)) tool->options.push_back(def);
    }
    return {fuse, reduced, full};
}

TEST(ManualPageTest, RoffEscapingKeepsTextLiteral)
{
    EXPECT_EQ(RoffEscaped("a\\b --x"), "a\\eb \\-\\-x");
    EXPECT_EQ(RoffEscaped(".start\n'quote\nmid.dle"), "\\&.start\n\\&'quote\nmid.dle");
}

TEST(ManualPageTest, ReadmeExamplesTakeContinuationsAndRemarks)
{
    std::istringstream readme(
        "Text lumesta-cli fuse --no\n"
        "    lumesta-cli fuse --pan a.img\n"
        "    lumesta-cli fuse --pan a.raw \\\n"
        "                --ms b.raw    # headerless bands\n"
        "    ./run     # not lumesta-cli\n"
        "    lumesta-cli haar --input x.img   # one band\n");
    const auto examples = ReadmeExamples(readme);
    ASSERT_EQ(examples.size(), 3u);
    EXPECT_EQ(examples[0].command, "lumesta-cli fuse --pan a.img");
    EXPECT_EQ(examples[0].remark, "");
    EXPECT_EQ(examples[1].command, "lumesta-cli fuse --pan a.raw \\\n  --ms b.raw");
    EXPECT_EQ(examples[1].remark, "Headerless bands");
    EXPECT_EQ(examples[2].remark, "One band");
}

TEST(ManualPageTest, EveryToolHasItsSectionAndEveryOptionItsFacts)
{
    const std::string page = CliManualPage(SampleTools(), "9.8.7", {{"lumesta-cli fuse", ""}});
    EXPECT_EQ(page.find(".TH LUMESTA-CLI 1 \"\" \"Lumesta 9.8.7\""), page.find(".TH"));
    for (const char* section :
         {".SH \"TOOL fuse\"", ".SH \"TOOL quality reduced\"", ".SH \"TOOL quality full\"",
          ".SH \"EXIT STATUS\"", ".SH EXAMPLES", ".SH FILES", ".SH \"SEE ALSO\""}) {
        EXPECT_NE(page.find(section), std::string::npos) << section;
    }
    EXPECT_NE(page.find("\\fB\\-\\-pan\\fR \\fIPATH\\fR\nThe pan band. Required. Names ending in "
                        ".img, .BIF; any other name is read as a headerless matrix.\n"),
              std::string::npos);
    EXPECT_NE(page.find("Takes every argument up to the next option."), std::string::npos);
    EXPECT_NE(page.find("\\fB\\-\\-filter\\fR \\fIsharpen|none\\fR\nThe filter. One of: sharpen, "
                        "none. Default: none.\n"),
              std::string::npos);
    EXPECT_NE(page.find("A whole number from 2 to 8. Default: 4."), std::string::npos);
    // A description line starting with a dot stays text instead of becoming a request.
    EXPECT_NE(page.find("\n\\&.hidden first line\n"), std::string::npos);
    // The run options are listed once, not in every tool's section.
    const auto first = page.find("\\fB\\-\\-quiet\\fR");
    EXPECT_EQ(page.find("\\fB\\-\\-quiet\\fR", first + 1), std::string::npos);
}

// Runs the completion of `lumesta-cli WORDS...` in bash inside folder; the offered words, one
// per line and sorted.
std::string Complete(const std::string& script, const std::string& folder, const std::string& words)
{
    const std::string output = folder + "/offered.txt";
    const std::string command =
        "cd '" + folder + "' && bash -c 'source \"$0\"; COMP_WORDS=(lumesta-cli " + words +
        "); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _lumesta_cli; " +
        "printf \"%s\\n\" \"${COMPREPLY[@]}\" | LC_ALL=C sort' '" + script + "' > '" + output + "'";
    if (std::system(command.c_str()) != 0) return "bash failed";
    return ReadFileBytes(output);
}

TEST(BashCompletionTest, CompletesToolsOptionsChoicesAndFiles)
{
    if (std::system("bash -c 'exit 0' > /dev/null 2>&1") != 0) GTEST_SKIP() << "no bash";
    TempDir dir;
    const std::string script = dir.File("completion.bash");
    WriteFileBytes(script, BashCompletionScript(SampleTools()));
    for (const char* name : {"pan.img", "PAN2.IMG", "jobs.bif", "notes.txt", "b.raw"}) {
        WriteFileBytes(dir.File(name), "x");
    }
    const std::string& folder = dir.Path();

    EXPECT_EQ(Complete(script, folder, "\"\""), "--help\n--version\nfuse\nquality\n");
    EXPECT_EQ(Complete(script, folder, "quality \"\""), "full\nreduced\n");
    EXPECT_EQ(Complete(script, folder, "quality full --v"), "--verbose\n");
    EXPECT_EQ(Complete(script, folder, "fuse --f"), "--filter\n");
    EXPECT_EQ(Complete(script, folder, "fuse --filter \"\""), "none\nsharpen\n");
    EXPECT_EQ(Complete(script, folder, "fuse --filter = s"), "sharpen\n");
    EXPECT_EQ(Complete(script, folder, "fuse --bands red,g"), "red,green\n");
    // File names: those with the option's endings, in any case; any name when none matches and
    // other names are taken.
    EXPECT_EQ(Complete(script, folder, "fuse --pan \"\""), "PAN2.IMG\njobs.bif\npan.img\n");
    EXPECT_EQ(Complete(script, folder, "fuse --pan b"), "b.raw\n");
    // An option taking several files goes on offering them after the first.
    EXPECT_EQ(Complete(script, folder, "fuse --ms pan.img p"), "pan.img\n");
    EXPECT_EQ(Complete(script, folder, "quality reduced --ratio \"\""), "\n");
}

}  // namespace
}  // namespace lumesta::testing
