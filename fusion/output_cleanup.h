#pragma once
// Removal of a pan-sharpening run's partial outputs.

#include <string>
#include <utility>
#include <vector>

namespace lumesta {

// Removes the listed files when the run does not finish (unless Keep was called).
class OutputCleanup {
public:
    explicit OutputCleanup(std::vector<std::string> paths) : m_paths(std::move(paths)) {}
    ~OutputCleanup();
    OutputCleanup(const OutputCleanup&) = delete;
    OutputCleanup& operator=(const OutputCleanup&) = delete;
    void Keep() { m_keep = true; }

private:
    std::vector<std::string> m_paths;
    bool m_keep = false;
};

}  // namespace lumesta
