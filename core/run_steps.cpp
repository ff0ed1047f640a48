#include "core/run_steps.h"

namespace lumesta {

void RunSteps::Add(std::string name, int weight)
{
    m_steps.push_back({std::move(name), weight});
}

void RunSteps::Announce()
{
    m_host.SetRunSteps(m_steps);
}

void RunSteps::Begin(const std::string& name)
{
    for (std::size_t index = 0; index < m_steps.size(); ++index) {
        if (m_steps[index].name == name) {
            m_host.BeginRunStep(index);
            return;
        }
    }
}

}  // namespace lumesta
