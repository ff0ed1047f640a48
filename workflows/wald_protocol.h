#pragma once
// The reduced-resolution protocol's steps: MTF-matched degradation of a scene, its files for
// other tools, and the fusion and measurement of each method.

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "assess/quality_metrics.h"
#include "assess/quality_table.h"
#include "workflows/fusion_registry.h"
#include "workflows/quality_outputs.h"

namespace lumesta {

// A fresh folder under the system's temporary folder, removed with its contents on every path.
class WorkFolder {
public:
    WorkFolder()
    {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "lumesta-quality-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) m_path = pattern;
    }
    ~WorkFolder()
    {
        std::error_code ignored;
        if (!m_path.empty()) std::filesystem::remove_all(m_path, ignored);
    }
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

// Filters every MS band with its gain and the pan with the pan gain, and decimates them by
// ratio (offset ratio / 2). Sides must be multiples of ratio (checked by the caller). False
// after a read failure (message shown).
bool DegradeScene(const BandSource& pan, const std::vector<BandSource>& ms, int ratio,
                  const SensorGains& sensor, Host& host, DegradedScene& scene);

// The files of a protocol's folder: the degraded pan and MS, and a method's kept result.
std::string DegradedPanPath(const std::string& folder);
std::string DegradedMsPath(const std::string& folder);
std::string KeptResultPath(const std::string& folder, const FusionMethodEntry& method);

// Writes the degraded pan and MS of folder (made when missing) in the given sample types,
// staged through outputs (confirmed by the caller); they reach their names at its Commit.
// False after "Cannot write PATH.".
bool WriteDegradedScene(const DegradedScene& scene, const std::string& folder, SampleType panType,
                        SampleType msType, QualityOutputs& outputs, Host& host);

// Fuses the scene with each method and measures the result against the MS (reference). With
// keepFolder, also writes each method's result there, staged through outputs. A method that
// stops on a message gives a row of NaN; Stopped when every method stopped; Cancelled stops
// everything.
RunOutcome RunMethods(const DegradedScene& scene,
                      const std::vector<const FusionMethodEntry*>& methods,
                      const std::vector<BandSource>& reference, const std::string& keepFolder,
                      QualityOutputs& outputs, Host& host, const std::function<bool()>& pump,
                      std::vector<QualityRow>& rows);

}  // namespace lumesta
