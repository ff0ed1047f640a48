#include "fusion/optimisation/regression.h"

namespace lumesta {

bool SolveNormalEquations(const NormalEquations& equations, int unknowns, float* coefficients,
                          RunLog& log, const std::function<bool()>& pump, Host& host)
{
    Matrix<float> normal = equations.NormalMatrix();
    log.Append(".");
    if (!pump()) return false;
    Matrix<float> inverted = MakeMatrix<float>(unknowns, unknowns);
    Matrix<float> scratch = MakeMatrix<float>(unknowns, unknowns);
    inverse(unknowns, unknowns, normal, inverted, scratch, host);
    Matrix<float> rhs = equations.RightHandSide();
    log.Append(".");
    if (!pump()) return false;
    Matrix<float> solution = MakeMatrix<float>(unknowns, 1);
    MultiplyFloatMatrices(unknowns, unknowns, inverted, unknowns, 1, rhs, solution, host);
    log.Append(".");
    for (int i = 0; i < unknowns; ++i) coefficients[i] = solution[i][0];
    return pump();
}

}  // namespace lumesta
