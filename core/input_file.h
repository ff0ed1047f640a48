#pragma once
// Inputs are read only from regular files (a symbolic link counts as what it leads to): a
// pipe, a device or a folder given as an input would block the run forever or feed it
// endless bytes, so it is refused as a file that cannot be opened.

#include <string>

namespace lumesta {

// True when path leads to a regular file.
bool IsRegularFile(const std::string& path);

// Opens path read-only when it leads to a regular file; -1 otherwise (never waits on a pipe).
// The caller closes the descriptor.
int OpenRegularForReading(const std::string& path);

}  // namespace lumesta
