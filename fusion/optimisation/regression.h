#pragma once
// The regression solve of the pan-sharpening runs' coefficient estimation.

#include <functional>

#include "core/host.h"
#include "core/run_log.h"
#include "fusion/optimisation/matrix.h"

namespace lumesta {

// Solves the normal equations as the matrix routines do (A = XᵀX, A⁻¹, b = Xᵀy, c = A⁻¹·b),
// appending "." after each of the three products and pumping between them. Fills
// coefficients[0 .. unknowns-1]; false when pump reports a cancel.
bool SolveNormalEquations(const NormalEquations& equations, int unknowns, float* coefficients,
                          RunLog& log, const std::function<bool()>& pump, Host& host);

}  // namespace lumesta
