#pragma once
// The parts of the input sections (a) and (b) that both pan-sharpening reports write alike,
// with the checks that belong to them.

#include <array>
#include <cstdint>

#include "fusion/etm_steps.h"
#include "fusion/pansharpen_steps.h"

namespace lumesta {

// Section (a): the pan's path, size and file length (also returned in panLength). False after
// "Check the file size of Pan image." when a pan other than a GeoTIFF does not hold W × H
// samples.
bool WritePanSection(PanRunState& state, std::int64_t& panLength);
bool WritePanSection(EtmRunState& state, std::int64_t& panLength);

// The band lines and sizes of section (b), with each band's file length in msLength (only the
// first for one multi-band file).
void WriteMsListing(PanRunState& state, std::array<std::int64_t, 4>& msLength);
void WriteMsListing(EtmRunState& state, std::array<std::int64_t, 3>& msLength);

// Reads the MS band headers and checks that each band has the MS size. Messages: "<Band> Band:
// Check the format of its header file.", "Check the width/height of the input image." (the
// band's selection, or every band's for a multi-band file, is emptied). False after a message.
bool CheckMsHeaders(PanRunState& state);
bool CheckMsHeaders(EtmRunState& state);

}  // namespace lumesta
