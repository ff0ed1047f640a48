#pragma once
// The fusion methods a pan-sharpening job can choose, and the coefficients their regression
// fits.

#include <array>

namespace lumesta {

// The values are the positions in the dialogs' method list: the two optimisation methods,
// then the detail-injection methods of the 16-bit tool (adaptive component substitution,
// MTF-matched Laplacian pyramid with high-pass modulation, additive wavelet luminance
// proportional, weighted Brovey).
enum class FusionMethod {
    Optimisation1 = 0,
    Optimisation2 = 1,
    Gsa = 2,
    GlpHpm = 3,
    Awlp = 4,
    Brovey = 5
};

// True for the methods that upsample the MS with the 23-tap interpolator and inject the pan's
// detail themselves (no regression residual, no default spatial filter).
inline bool InjectsDetail(FusionMethod method)
{
    return method != FusionMethod::Optimisation1 && method != FusionMethod::Optimisation2;
}

// The method's name as the dialogs list it and the report names it.
inline const char* MethodLabel(FusionMethod method)
{
    static const char* const kLabels[] = {
        "Optimisation 1", "Optimisation 2", "Adaptive Gram-Schmidt (GSA)",
        "MTF-GLP-HPM",    "AWLP",           "Weighted Brovey"};
    return kLabels[static_cast<int>(method)];
}

// How the method brings the MS bands to the pan's size, as the dialogs show it and the report
// names it: the detail-injecting methods upsample with the 23-tap interpolator.
inline const char* ResamplingLabel(FusionMethod method)
{
    return InjectsDetail(method) ? "23-Tap Interpolator" : "Improved Bilinear";
}

// The fitted coefficients of N MS bands as single-precision values: for Optimisation 1
// c[0 .. N-1] belong to the bands in order; for Optimisation 2 c[0] is the intercept and
// c[1 .. N] the bands.
template <int N>
struct BandCoefficients {
    FusionMethod method = FusionMethod::Optimisation1;
    std::array<float, N + 1> c{};
    int Count() const { return method == FusionMethod::Optimisation1 ? N : N + 1; }
};

}  // namespace lumesta
