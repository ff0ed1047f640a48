#pragma once
// The report sections of a delivery run (`pansharpen --ms`): the layout of the 16-bit tool's
// report, with every MS band listed, the placement, the sensor and the no data, and the result
// file with its format.

#include "core/run_log.h"
#include "fusion/delivery/delivery_scene.h"
#include "fusion/pansharpen_job.h"

namespace lumesta {

// Sections (a) to (d).
void WriteDeliverySections(const PanSharpenJob& job, const DeliveryScene& scene, RunLog& log);

// A number with two decimals, whatever the locale, never "-0.00".
std::string TwoDecimals(double value);

}  // namespace lumesta
