#pragma once
// The Haar wavelet run: a multi-level two-dimensional Haar decomposition of one band, written
// as a single-precision float raster in the nested quadrant layout, with a header in the
// input's format and a 24-bit grey picture in which every sub-band is stretched on its own.

#include <cstdint>

#include "core/host.h"
#include "core/run_log.h"
#include "assess/haar_job.h"

namespace lumesta {

// The OK handler. Validates the job ("Please input file names", "Please input width and
// height.", "Please input down-sampling level." (also for a negative count), the size limits 32
// and 16000, the power-of-two message, " The maximum level you can select for this image is
// N."), writes the report block, decides the sample kind ("Check the file size of the input
// image."), asks before replacing the picture and then the raster, creates the raster at full
// size ("Error: Writing to float/binary file." also when a write fails), decomposes the band
// with the progress window (Cancel and Escape delete the raster and write nothing else), then
// writes the picture and, for ENVI and Idrisi32 inputs, the header. A run that stops after the
// report began deletes the raster and ends the block with "Unsucessful". Returns Finished,
// Stopped or Cancelled.
RunOutcome ComputeHaarTransform(HaarJob& job, RunCounters& counters, Host& host);

}  // namespace lumesta
