#include "fusion/fusion_method.h"

#include "fusion/injection/injection_methods.h"

namespace lumesta {

const MethodTable& FusionMethods()
{
    using F = FilterType16;
    constexpr auto kClassical = MethodKind::Classical;
    constexpr auto kLearned = MethodKind::Learned;
    constexpr auto kOptimisation = MethodEngine::Optimisation;
    constexpr auto kInjection = MethodEngine::DetailInjection;
    // The optimisation methods take the Landsat tool's three bands and the 16-bit tool's four;
    // the detail-injection engine takes 3 to 16.
    static const MethodTable kTable = {
        {FusionMethod::Optimisation1, "1", "Optimisation 1", "Optimisation 1", "\"Optimisation 1\"",
         F::Sharpen, false, 3, 4, kClassical, kOptimisation, true, nullptr},
        {FusionMethod::Optimisation2, "2", "Optimisation 2", "Optimisation 2", "\"Optimisation 2\"",
         F::Sharpen, false, 3, 4, kClassical, kOptimisation, true, nullptr},
        {FusionMethod::Gsa, "gsa", "Adaptive Gram-Schmidt (GSA)", "Adaptive Gram-Schmidt (GSA)",
         "(adaptive Gram-Schmidt)", F::None, true, 3, 16, kClassical, kInjection, false,
         &kGsaRecipe},
        {FusionMethod::GlpHpm, "glp-hpm", "MTF-GLP-HPM", "MTF-GLP-HPM",
         "(MTF-matched Laplacian pyramid, high-pass modulation)", F::None, true, 3, 16, kClassical,
         kInjection, false, &kGlpHpmRecipe},
        {FusionMethod::Awlp, "awlp", "AWLP", "AWLP", "(additive wavelet luminance proportional)",
         F::None, true, 3, 16, kClassical, kInjection, false, &kAwlpRecipe},
        {FusionMethod::Brovey, "brovey", "Weighted Brovey", "Weighted Brovey", "(weighted Brovey)",
         F::None, false, 3, 16, kClassical, kInjection, false, &kBroveyRecipe},
        {FusionMethod::GlpEbp, "glp-ebp", "MTF-GLP-EBP", "MTF-GLP-EBP",
         "(MTF-matched Laplacian pyramid, energy-matched gain, spectral back-projection)", F::None,
         true, 3, 16, kClassical, kInjection, false, &kGlpEbpRecipe},
        {FusionMethod::GlpFs, "glp-fs", "MTF-GLP-FS", "MTF-GLP-FS",
         "(MTF-matched Laplacian pyramid, regression gains at full scale)", F::None, true, 3, 16,
         kClassical, kInjection, false, &kGlpFsRecipe},
        {FusionMethod::BdsdPc, "bdsd-pc", "BDSD-PC", "BDSD-PC",
         "(band-dependent spatial detail, physically constrained)", F::None, true, 3, 16,
         kClassical, kInjection, false, &kBdsdPcRecipe},
        // The network learns a correction of its base method's fused values, MTF-GLP-HPM's.
        {FusionMethod::SceneCnn, "sacnn", "Scene-adaptive CNN", "Scene-adaptive CNN",
         "(a small network trained on the scene itself, added to MTF-GLP-HPM)", F::None, true, 3,
         16, kLearned, kInjection, false, &kGlpHpmRecipe},
    };
    return kTable;
}

const FusionMethodRow& MethodRowOf(FusionMethod method)
{
    for (const FusionMethodRow& row : FusionMethods()) {
        if (row.method == method) return row;
    }
    return FusionMethods().front();
}

const FusionMethodRow* FindMethod(const std::string& name, const MethodTable& table)
{
    for (const FusionMethodRow& row : table) {
        if (name == row.name) return &row;
    }
    return nullptr;
}

std::vector<FusionMethod> MethodsOfTool(bool landsatTool, const MethodTable& table)
{
    std::vector<FusionMethod> methods;
    for (const FusionMethodRow& row : table) {
        if (!landsatTool || row.inLandsatTool) methods.push_back(row.method);
    }
    return methods;
}

}  // namespace lumesta
