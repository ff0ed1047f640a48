#pragma once
// The injection gain of the pyramid's detail, matched in energy on the pair degraded once more.
// A gain fitted at the coarser scale by least squares comes out shrunk by the coarse scale's
// correlation between the detail injected and the detail wanted; the ratio of their energies
// keeps the magnitude. One gain serves every band, so the bands' spectral angles stay those of
// high-pass modulation.

#include <functional>
#include <string>

#include "core/host.h"
#include "core/step_result.h"
#include "fusion/injection/ms_scale_rows.h"

namespace lumesta {

struct InjectionModel;

// The pair degraded once more: the MS bands filtered with their Gaussians and decimated by the
// ratio (M_c), and the pan degraded with the pan's own gain (P_c, the model's panLow image, at
// MS scale). The pyramid fuses it as the fusion pass fuses the scene: M_c upsampled, P_c
// equalised per band to M_c against P_c degraded with the band's Gaussian, the detail
// d = M̃_c · (Pe − PLe) / PLe (0 where PLe is not positive). alpha is the mean over the bands of
// sqrt(Σ (M − M̃_c)² / Σ d²), summed over the valid MS samples of the largest top-left crop
// whose sides are multiples of the ratio, each band's sums in row order; bands without detail
// are left out, and alpha is 1 when none is left or the crop is empty. A temporary file that
// cannot be made, written or read back shows the output-file message and answers Failed; pump
// answering false answers Cancelled.
StepResult EstimateEnergyGain(const InjectionModel& model, const MsCopy& ms, double& alpha,
                              Host& host, const std::function<bool()>& pump);

}  // namespace lumesta
