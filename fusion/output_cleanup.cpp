#include "fusion/output_cleanup.h"

#include <cstdio>

namespace lumesta {

OutputCleanup::~OutputCleanup()
{
    if (m_keep) return;
    for (const auto& path : m_paths) {
        if (!path.empty()) std::remove(path.c_str());
    }
}

}  // namespace lumesta
