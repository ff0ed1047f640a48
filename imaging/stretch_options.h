#pragma once
// The stretch options of the tools that write a colour picture: --cutoffs and --nonlinear, as
// rows of a tool's option table over the job's StretchParams.

#include <algorithm>
#include <array>

#include "core/option_table.h"
#include "imaging/stretch.h"

namespace lumesta {

// --cutoffs BL,BR,GL,GR,RL,RR (the histogram cut-offs in %, 1..20) and --nonlinear B,G,R (the
// nonlinear strengths, 0..20), setting job.*stretch.
template <typename Job>
std::vector<OptionRow<Job>> StretchOptionRows(StretchParams Job::*stretch)
{
    OptionRow<Job> cutoffs{
        IntegerListOption("--cutoffs", "BL,BR,GL,GR,RL,RR", 6, 1, 20,
                          "The histogram cut-offs in percent at the left and right ends of the "
                          "Blue, Green and Red histograms.",
                          "2,2,2,2,2,2"),
        [stretch](Job& job, const OptionUse& use) {
            const auto list = use.Ints();
            for (std::size_t band = 0; band < 3; ++band) {
                (job.*stretch).leftCutoff[band] = list[2 * band];
                (job.*stretch).rightCutoff[band] = list[2 * band + 1];
            }
            return Applied();
        },
        false,
        [stretch](const Job& job) {
            const StretchParams& params = job.*stretch;
            const StretchParams defaults;
            if (params.leftCutoff == defaults.leftCutoff &&
                params.rightCutoff == defaults.rightCutoff)
                return GivenValues();
            std::array<int, 6> list{};
            for (std::size_t band = 0; band < 3; ++band) {
                list[2 * band] = params.leftCutoff[band];
                list[2 * band + 1] = params.rightCutoff[band];
            }
            return Given(JoinedNumbers(list));
        }};
    OptionRow<Job> nonlinear{
        IntegerListOption("--nonlinear", "B,G,R", 3, 0, 20,
                          "The nonlinear stretch strengths of the Blue, Green and Red bands.",
                          "0,0,0"),
        [stretch](Job& job, const OptionUse& use) {
            const auto list = use.Ints();
            std::copy(list.begin(), list.end(), (job.*stretch).nonlinear.begin());
            return Applied();
        },
        false,
        [stretch](const Job& job) {
            const auto& strengths = (job.*stretch).nonlinear;
            return strengths == StretchParams().nonlinear ? GivenValues()
                                                          : Given(JoinedNumbers(strengths));
        }};
    return {cutoffs, nonlinear};
}

}  // namespace lumesta
