#include "fusion/outputs/confirm_fused_outputs.h"

#include <cstdio>

#include "raster/file_name.h"

namespace lumesta {

bool ConfirmFusedOutputs(const std::vector<std::string>& targets,
                         const std::vector<std::string>& inputs, const std::string& blueOutput,
                         Host& host)
{
    for (const auto& input : inputs) {
        for (const auto& name :
             {input, WithoutLastFour(input) + ".hdr", WithoutLastFour(input) + ".rdc"}) {
            for (const auto& target : targets) {
                if (!SamePath(target, name)) continue;
                host.ShowMessage(target +
                                 " is an input of this run.\nChange the suffix used or "
                                 "the name of the 24-bit BMP.");
                return false;
            }
        }
    }
    bool anyExists = false;
    for (const auto& target : targets) anyExists = anyExists || FileExists(target);
    if (!anyExists) return true;
    if (!host.AskYesNo(blueOutput +
                       "\nor other similarly fused bands, including bitmap output, already "
                       "exist.\nDo you want to overwrite?\nIf you do not wish to overwrite, "
                       "change the suffix used.")) {
        return false;
    }
    for (const auto& target : targets) std::remove(target.c_str());
    return true;
}

}  // namespace lumesta
