#include "workflows/tool_catalog.h"

#include <algorithm>

#include "assess/assess_options.h"
#include "composite/combine_options.h"
#include "fusion/etm_options.h"
#include "fusion/pansharpen_options.h"
#include "fusion/registration/register_options.h"
#include "workflows/quality_options.h"

namespace lumesta {

namespace {

const char* KindName(ValueKind kind)
{
    switch (kind) {
        case ValueKind::None:
            return "flag";
        case ValueKind::InputFile:
            return "input-file";
        case ValueKind::OutputFile:
            return "output-file";
        case ValueKind::Text:
            return "text";
        case ValueKind::Integer:
            return "integer";
        case ValueKind::IntegerList:
            return "integer-list";
        case ValueKind::Choice:
            return "choice";
        case ValueKind::ChoiceList:
            return "choice-list";
    }
    return "text";
}

const char* NeedName(Need need)
{
    switch (need) {
        case Need::Optional:
            return "optional";
        case Need::Required:
            return "required";
        case Need::RequiredUnlessBatch:
            return "required-unless-batch";
    }
    return "optional";
}

std::string Joined(const std::vector<std::string>& items, bool withOthers)
{
    std::string text;
    for (const auto& item : items) text += (text.empty() ? "" : " ") + item;
    if (withOthers) text += text.empty() ? "*" : " *";
    return text;
}

}  // namespace

std::vector<ToolOptions> CommandLineTools()
{
    return {PanSharpenOptions().Describe(),
            EtmOptions().Describe(),
            CombineOptions(CombineDepth::Sixteen).Describe(),
            CombineOptions(CombineDepth::Eight).Describe(),
            SemivarianceOptions().Describe(),
            ImageStatsOptions().Describe(),
            HaarOptions().Describe(),
            QualityOptions(QualityProtocol::Reduced).Describe(),
            QualityOptions(QualityProtocol::Full).Describe(),
            QualityOptions(QualityProtocol::Wald).Describe(),
            QualityOptions(QualityProtocol::Degrade).Describe(),
            RegisterOptions().Describe()};
}

std::string ToolListText(const std::vector<ToolOptions>& tools)
{
    std::string text;
    for (const auto& tool : tools) {
        std::string line = "  " + tool.tool.name;
        line.resize(std::max<std::size_t>(line.size() + 1, 18), ' ');
        text += line + tool.tool.summary + "\n";
    }
    return text;
}

std::string RunOptionsText()
{
    std::string text;
    for (const auto& def : RunOptionDefs(RunOptionsLayout::SameLine)) {
        const std::string token = def.metavar.empty() ? def.name : def.name + " " + def.metavar;
        if (def.synopsis == Synopsis::OrPrevious) {
            text += " | " + token;
        } else {
            text += (text.empty() ? "" : ", ") + token;
        }
    }
    return text;
}

std::string ProgramUsageText()
{
    return "usage: lumesta-cli TOOL [OPTIONS]\n"
           "       lumesta-cli --help | --version\n"
           "       lumesta-cli TOOL --help\n"
           "\n"
           "Tools:\n" +
           ToolListText(CommandLineTools()) +
           "  cluster         Batch files as Slurm job arrays: plan, collect\n"
           "\n"
           "Options of every tool: " +
           RunOptionsText() +
           ".\n"
           "Exit status: 0 finished, 1 stopped on a message, 2 wrong command line, 130 "
           "cancelled.\n";
}

void DumpOptionTables(const std::vector<ToolOptions>& tools, std::ostream& out)
{
    for (const auto& tool : tools) {
        out << "tool\t" << tool.tool.name << '\t' << tool.tool.summary << '\n';
        for (const auto& def : tool.options) {
            const bool isFile =
                def.kind == ValueKind::InputFile || def.kind == ValueKind::OutputFile;
            out << "option\t" << def.name << '\t' << def.metavar << '\t' << KindName(def.kind)
                << '\t' << NeedName(def.need) << '\t'
                << (isFile ? Joined(def.fileFilters, def.otherFileNames) : std::string()) << '\t'
                << Joined(def.choices, false) << '\t' << def.defaultText << '\t' << def.help
                << '\n';
        }
    }
}

}  // namespace lumesta
