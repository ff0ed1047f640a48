#include "raster/file_name.h"

#include <filesystem>

#include <sys/stat.h>

namespace lumesta {
namespace {

// ASCII only: the result must not depend on the user's locale.
char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string LowerAscii(std::string text)
{
    for (char& c : text) c = LowerAscii(c);
    return text;
}

}  // namespace

std::string LastFourLower(const std::string& path)
{
    return LowerAscii(path.size() <= 4 ? path : path.substr(path.size() - 4));
}

std::string WithoutLastFour(const std::string& path)
{
    return path.size() <= 4 ? std::string() : path.substr(0, path.size() - 4);
}

std::string ExtensionLower(const std::string& path)
{
    const std::string name = FileNameOf(path);
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : LowerAscii(name.substr(dot + 1));
}

std::string WithoutExtension(const std::string& path)
{
    const std::string name = FileNameOf(path);
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? path : path.substr(0, path.size() - (name.size() - dot));
}

std::string FileNameOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool FileExists(const std::string& path)
{
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && !S_ISDIR(status.st_mode);
}

bool SamePath(const std::string& a, const std::string& b)
{
    if (a == b) return true;
    std::error_code ignored;
    return std::filesystem::weakly_canonical(a, ignored) == std::filesystem::weakly_canonical(b, ignored);
}

}  // namespace lumesta
