#pragma once
// Formats are recognised by the last four characters of a file name, lower-cased; header
// files sit beside their data files with those four characters replaced.

#include <string>

namespace lumesta {

// The last four characters, lower-cased (".img", ".rst", ".tif", "tiff", ...); the whole
// name when it is shorter.
std::string LastFourLower(const std::string& path);

// The path without its last four characters (empty when the path is shorter).
std::string WithoutLastFour(const std::string& path);

// The extension without its dot, lower-cased, as the dialogs store it ("img", "rst", "tif",
// "rgf", "bif"; whatever follows the last dot of the file name, or empty).
std::string ExtensionLower(const std::string& path);

// The path without the last dot of its file name and what follows it (the whole path when the
// file name has no dot): "a/pan.tiff" gives "a/pan".
std::string WithoutExtension(const std::string& path);

// The file name without its folder.
std::string FileNameOf(const std::string& path);

// The folder of a path including its final separator ("" for a bare name).
std::string FolderOf(const std::string& path);

bool FileExists(const std::string& path);

// True when both names lead to the same file (or would, once it exists).
bool SamePath(const std::string& a, const std::string& b);

}  // namespace lumesta
