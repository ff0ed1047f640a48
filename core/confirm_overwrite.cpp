#include "core/confirm_overwrite.h"

#include <cstdio>
#include <sys/stat.h>

namespace lumesta {

bool ConfirmOverwrite(const std::string& path, Host& host)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) return true;
    if (!host.AskYesNo(path + " already exists.\nDo you want to overwrite?")) return false;
    std::remove(path.c_str());
    return true;
}

}  // namespace lumesta
