#pragma once
// The real test scenes live in the shared folder beside the repository; tests that read them
// skip when it is absent.

#include <cstdlib>
#include <string>

#include "raster/file_name.h"

namespace lumesta::testing {

// The scenes folder with its final separator, or "" when there is none. LUMESTA_SCENES
// overrides; otherwise shared/data beside the checkout.
inline std::string SharedScenesFolder()
{
    if (const char* given = std::getenv("LUMESTA_SCENES")) return std::string(given) + "/";
    const std::string here = FolderOf(__FILE__);  // <repo>/tests/engine/raster/
    const std::string candidate = here + "../../../../shared/data/";
    return FileExists(candidate + "README.md") ? candidate : std::string();
}

}  // namespace lumesta::testing
