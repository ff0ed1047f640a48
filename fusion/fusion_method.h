#pragma once
// The fusion methods a pan-sharpening job can choose.

namespace lumesta {

// The values are the positions in the dialogs' method list.
enum class FusionMethod { Optimisation1 = 0, Optimisation2 = 1 };

}  // namespace lumesta
