#pragma once
// The per-pixel fusion of Step 2 for both pan-sharpening runs.

#include <cstdint>

#include "fusion/fusion_run_state.h"
#include "fusion/fusion_strips.h"

namespace lumesta {

// Fuses cell row d of a strip (MS rows d and d + 1) into its ratio output rows, one output row
// at a time in pieces of cells, so that memory is read and written in order. Reads only
// the strip's inputs and writes only the cell row's own output rows, so cell rows may be fused
// on several threads at once.
void FuseCellRow(const PanRunState& state, FusionStrip<std::int16_t, 4>& strip, std::int64_t d);
void FuseCellRow(const EtmRunState& state, FusionStrip<std::uint8_t, 3>& strip, std::int64_t d);

}  // namespace lumesta
