#pragma once
// Spectral back-projection: the fused image F is corrected so that, degraded again with the
// sensor's Gaussians, it gives back the MS. K steps of F ← F + up(M − deg(F)) equal
// F + up(e_0 + e_1 + … + e_{K−1}) with e_0 = M − deg(F) and e_{j+1} = e_j − deg(up(e_j)), so
// after one pass at pan scale that measures e_0 everything happens at MS scale: deg∘up is
// linear and separable, one banded matrix per axis.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/host.h"
#include "core/step_result.h"
#include "fusion/injection/injection_fusion.h"
#include "fusion/injection/ms_scale_rows.h"

namespace lumesta {

struct InjectionModel;

// A banded square matrix: row i holds Count(i) weights for the samples First(i) on.
class BandedOperator {
public:
    BandedOperator() = default;
    // deg∘up along a line of n MS samples: the 23-tap upsampling by ratio (a power of two),
    // then the 41-tap Gaussian of gain at pan scale (edge-replicated) kept at ratio·i + ratio/2.
    // Built by pushing every sample's weights through both, so the borders are exact.
    BandedOperator(std::int64_t n, int ratio, double gain);

    std::int64_t Size() const { return static_cast<std::int64_t>(m_first.size()); }
    std::int64_t First(std::int64_t i) const { return m_first[static_cast<std::size_t>(i)]; }
    int Count(std::int64_t i) const { return m_count[static_cast<std::size_t>(i)]; }
    const double* Weights(std::int64_t i) const
    {
        return m_weights.data() + static_cast<std::size_t>(i) * m_stride;
    }
    // The farthest a row reaches from its own index, on either side.
    std::int64_t Reach() const { return m_reach; }

    // out[i] = Σ_c Weights(i)[c] · in[First(i) + c], summed in order of c.
    void Apply(const double* in, double* out) const;

private:
    std::vector<std::int64_t> m_first;
    std::vector<int> m_count;
    std::vector<double> m_weights;
    std::size_t m_stride = 0;
    std::int64_t m_reach = 0;
    // Rows m_repeatBegin .. m_repeatEnd − 1 share the weights of the first of them, each from
    // sample i + m_repeatShift on (the line away from its ends).
    std::int64_t m_repeatBegin = 0;
    std::int64_t m_repeatEnd = 0;
    std::int64_t m_repeatShift = 0;
};

// Pass 1 of the correction: fuses the window without corrections and measures, per band, how
// far its degradation falls short of the MS: e_0 = M − deg(F), into the model's corrections.
// Each fused row is filtered along the row at the MS columns as it is made; the MS rows are
// finished down the columns from a ring of those rows. A read failure shows readFailure; a
// temporary file that cannot be written or read shows the output-file message; both answer
// Failed; pump answering false answers Cancelled.
StepResult MeasureFusionError(const InjectionModel& model, const MsCopy& ms,
                              const std::string& readFailure, Host& host,
                              const std::function<bool()>& pump);

// Turns the model's corrections from e_0 into e_0 + … + e_{steps−1}, band by band on every core,
// streaming each band's rows through the steps. Messages and results as MeasureFusionError.
StepResult BackProject(InjectionModel& model, int steps, Host& host,
                       const std::function<bool()>& pump);

// Whether the fusion pass can carry the back-projection of the model (its fitted sizes and
// bands) itself in this memory, rather than after a pass of its own (MeasureFusionError and
// BackProject); the bytes are the same either way.
bool FitsOnePass(const InjectionModel& model);

// FuseInjectedImage for a model whose back-projection is pending (model.pendingSteps): one
// pass fuses the rows, measures the fusion's error from them and back-projects it as far as
// the rows allow, keeping the fused rows before rounding until the corrections they need are
// summed, and hands on each strip as FuseInjectedImage does with corrections made beforehand
// (the same bytes). Messages and results as FuseInjectedImage.
StepResult FuseBackProjected(const InjectionModel& model, const FusedRowsSink& sink,
                             const std::array<int, 3>& colourAmounts, std::int64_t stripRows,
                             const std::string& readFailure, RunProgress& progress, Host& host,
                             const std::function<bool()>& pump);

}  // namespace lumesta
