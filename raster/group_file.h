#pragma once
// Idrisi32 group raster files (.rgf): the band count on the first line, then one .rst band
// name per line without folder and extension. A band's path is the group's folder + name + ".rst".

#include <optional>
#include <string>
#include <vector>

#include "core/host.h"

namespace lumesta {

struct GroupFile {
    std::string folder;              // with its final separator
    std::vector<std::string> names;  // as listed, in file order
    std::string BandPath(std::size_t index) const { return folder + names[index] + ".rst"; }
};

// Reads a group file. Messages, each shown once before returning nothing:
// readFailureMessage when the file cannot be opened; "Idrisi32's Group Raster File (*.rgf)
// should contain at least N images." (N = minimumBands, 3 or 4) when the count is lower;
// "Check Idrisi32's Group Raster File (*.rgf): Files in the group file should have no .rst
// extension." when a name ends in .rst (any case). A file that lists fewer names than its
// count gives readFailureMessage too.
std::optional<GroupFile> ReadGroupFile(const std::string& path, int minimumBands,
                                       const std::string& readFailureMessage, Host& host);

}  // namespace lumesta
