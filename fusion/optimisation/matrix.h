#pragma once
// Small dense-matrix routines for the least-squares normal equations of the fusion methods.
// A matrix is a vector of separately held rows; sizes are passed explicitly to every routine.

#include <cstdint>
#include <vector>

#include "core/host.h"

namespace lumesta {

template <typename T>
using Matrix = std::vector<std::vector<T>>;

// A rows × cols matrix of zeros.
template <typename T>
Matrix<T> MakeMatrix(int rows, int cols)
{
    return Matrix<T>(static_cast<std::size_t>(rows), std::vector<T>(static_cast<std::size_t>(cols)));
}

// out[j][i] = in[i][j]; out must be cols × rows.
void Transpose(int rows, int cols, const Matrix<std::int16_t>& in, Matrix<std::int16_t>& out);
void Transpose(int rows, int cols, const Matrix<std::uint8_t>& in, Matrix<std::uint8_t>& out);

// C[i][j] = Σk A[i][k]·B[k][j]: each product in integer arithmetic, the sum accumulated in
// double precision in order of k, stored as float. When colsA differs from rowsB the message
// " something wrong with size of array" is shown and the product is computed with colsA anyway.
void MultiplyIntMatrices(int rowsA, int colsA, const Matrix<std::int16_t>& a, int rowsB, int colsB,
                         const Matrix<std::int16_t>& b, Matrix<float>& c, Host& host);
void MultiplyIntMatrices(int rowsA, int colsA, const Matrix<std::uint8_t>& a, int rowsB, int colsB,
                         const Matrix<std::uint8_t>& b, Matrix<float>& c, Host& host);
// The same with float elements; products and sum in double precision, result stored as float.
void MultiplyFloatMatrices(int rowsA, int colsA, const Matrix<float>& a, int rowsB, int colsB,
                           const Matrix<float>& b, Matrix<float>& c, Host& host);

// Exchanges rows i and j of a float matrix.
void SwapRows(int i, int j, int cols, Matrix<float>& m);

// result = a⁻¹ by Gauss-Jordan elimination with row exchange (tolerance 1e-10). scratch is a
// rows × cols float matrix owned by the caller; result must be zero-filled by the caller. A
// singular matrix writes kSingularMatrix through host on the standard error stream for each
// pivot without a usable row, and goes on; the result is then not meaningful.
void inverse(int rows, int cols, const Matrix<float>& a, Matrix<float>& result,
             Matrix<float>& scratch, Host& host);
inline const char kSingularMatrix[] = "ERROR <MATRIX::inverse()> : Singular Matrix\n";

// Accumulates XᵀX and Xᵀy of a regression one observation at a time, without holding X:
// the sums are formed exactly as the matrix products above form them (integer products added
// in double precision in observation order), so the normal equations come out identical.
class NormalEquations {
public:
    explicit NormalEquations(int unknowns);
    // One observation: its regressor row (unknowns values) and its observed value.
    void Add(const std::int32_t* regressors, std::int32_t observed);
    // XᵀX and Xᵀy stored as float, as the products store them.
    Matrix<float> NormalMatrix() const;
    Matrix<float> RightHandSide() const;  // unknowns × 1

private:
    int m_unknowns;
    std::vector<double> m_xtx;  // unknowns × unknowns, row-major
    std::vector<double> m_xty;
};

}  // namespace lumesta
