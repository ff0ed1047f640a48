#pragma once
// The steps a run tells its host about, for a display of the whole run's progress (the
// desktop's progress window): the run lists the steps it will take, then begins each by name.
// Nothing of this reaches the report.

#include <string>
#include <vector>

#include "core/host.h"

namespace lumesta {

class RunSteps {
public:
    explicit RunSteps(Host& host) : m_host(host) {}

    // Adds a step the run will take, with its rough share of the run's time.
    void Add(std::string name, int weight);
    // Tells the host the steps added.
    void Announce();
    // Tells the host that the step of that name begins (nothing for a name not added).
    void Begin(const std::string& name);

private:
    Host& m_host;
    std::vector<RunStep> m_steps;
};

}  // namespace lumesta
