#pragma once
// BDSD-PC's numbers: band-dependent spatial detail with physical constraints. Each band is fused
// as F_k = M̃_k + g_k · P − Σ_i w_ki · M̃_i with g_k ≥ 0 and w_ki ≥ 0: the pan's detail over an
// intensity of its own for every band. The coefficients come from least squares on the pair
// degraded once more, where the MS itself is the target: M_k − up(deg M_k) against
// deg(P) and up(deg M_i), with those signs kept (an injection that turns against the pan, or an
// intensity with a negative share of a band, is not physical and is what makes unconstrained
// fits unstable).

#include <functional>
#include <string>
#include <vector>

#include "core/host.h"
#include "core/step_result.h"

namespace lumesta {

struct InjectionModel;

// Minimises ‖A x − b‖² over x ≥ 0 from the normal equations (gram = AᵀA, n × n row-major,
// cross = Aᵀb) by the active-set method of Lawson and Hanson.
std::vector<double> NonNegativeLeastSquares(const std::vector<double>& gram,
                                            const std::vector<double>& cross);

// Fits BDSD-PC on the model's MS window and its pan degraded with the pan's gain (the model's
// image 0), and sets the model's gains, pan scales and per-band intensity weights. Sums run over
// the valid samples of the largest top-left crop whose sides are multiples of the ratio, row by
// row, the rows' sums added in row order; an empty crop injects nothing. Messages and results as
// the recipe's correction step.
StepResult FitBdsdPc(InjectionModel& model, const std::string& readFailure, Host& host,
                     const std::function<bool()>& pump);

}  // namespace lumesta
