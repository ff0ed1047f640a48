#pragma once
// The fusion methods a pan-sharpening job can choose, and the coefficients their regression
// fits.

#include <array>

namespace lumesta {

// The values are the positions in the dialogs' method list.
enum class FusionMethod { Optimisation1 = 0, Optimisation2 = 1 };

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
