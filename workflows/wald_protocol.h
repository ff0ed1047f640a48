#pragma once
// The reduced-resolution protocol's steps: the degraded scene in files (for the fusion tools, and
// kept for the user), and the fusion and measurement of each method.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "assess/quality_metrics.h"
#include "assess/quality_table.h"
#include "workflows/fusion_registry.h"
#include "workflows/quality_outputs.h"

namespace lumesta {

// A fresh folder under the system's temporary folder, removed with its contents on every path;
// Path() is empty when none could be made.
class WorkFolder {
public:
    WorkFolder();
    ~WorkFolder();
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

// The files of a protocol's folder: the degraded pan and MS, and a method's kept result.
std::string DegradedPanPath(const std::string& folder);
std::string DegradedMsPath(const std::string& folder);
std::string KeptResultPath(const std::string& folder, const FusionMethodEntry& method);

// The degraded scene the protocol and `degrade` make: the pan and MS (sides multiples of ratio,
// checked by the caller) filtered by the sensor's MTF and decimated. With sceneFolder, the files
// the methods fuse (rounded into the methods' sample type, or the inputs' for methods fusing one
// multi-band file); with keptFolder, DegradedPanPath and DegradedMsPath there in the inputs'
// sample types, staged through outputs (confirmed by the caller). False after a message or a
// cancel.
bool MakeDegradedScene(const BandSource& pan, std::optional<double> panNoData,
                       const std::vector<BandSource>& ms, std::optional<double> msNoData, int ratio,
                       const SensorGains& sensor,
                       const std::vector<const FusionMethodEntry*>& methods,
                       const std::string& sceneFolder, const std::string& keptFolder,
                       QualityOutputs& outputs, const QualityPump& pump, Host& host,
                       DegradedScene& scene);

// The progress window's name of a method's step: its fusion and measurement.
std::string MethodStepName(const FusionMethodEntry& method);

// Fuses the scene with each method and measures the result against the MS (reference, its no
// data per band). With keepFolder, also writes KeptResultPath there (the reference's sample
// type), staged through outputs. A method that stops on a message gives a row of NaN; a metric
// its result leaves undefined stops with the message naming it; Stopped when every method
// stopped; Cancelled stops everything. Each method's step begins as step 1, 2, ... of the
// host's run steps (the degradation is step 0).
RunOutcome RunMethods(const DegradedScene& scene,
                      const std::vector<const FusionMethodEntry*>& methods,
                      const std::vector<BandSource>& reference,
                      const std::vector<std::optional<double>>& referenceNoData,
                      const std::string& keepFolder, QualityOutputs& outputs, Host& host,
                      const QualityPump& pump, std::vector<QualityRow>& rows);

}  // namespace lumesta
