#pragma once

#include <string>

#include "core/host.h"

namespace lumesta {

// Asks before an existing output file is replaced. A missing file answers true without asking;
// Yes deletes the file (one that cannot be deleted is passed over) and answers true; No answers
// false and leaves the file alone.
bool ConfirmOverwrite(const std::string& path, Host& host);

}  // namespace lumesta
