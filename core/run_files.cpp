#include "core/run_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>

namespace lumesta {
namespace {

std::string FolderPart(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string NamePart(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string SystemTempFolder()
{
    const char* fromEnvironment = std::getenv("TMPDIR");
    std::string folder = fromEnvironment && *fromEnvironment ? fromEnvironment : "/tmp";
    if (folder.back() != '/') folder += '/';
    return folder;
}

// Six characters from a generator seeded by the process, the time and a counter, so that
// runs of one process and of different processes draw different names.
std::string RandomTag()
{
    static std::atomic<unsigned> counter{0};
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::seed_seq seed{
        static_cast<unsigned>(::getpid()), counter++,
        static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()),
        static_cast<unsigned>(std::random_device{}())};
    std::mt19937 generator(seed);
    std::string tag(6, 'x');
    for (char& c : tag) c = kChars[generator() % (sizeof kChars - 1)];
    return tag;
}

}  // namespace

std::string CreateUniqueFile(const std::string& stem, const std::string& tail, unsigned mode)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string path = stem + RandomTag() + tail;
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0) {
            ::close(fd);
            return path;
        }
        if (errno != EEXIST) break;
    }
    return std::string();
}

bool IsSameExistingFile(const std::string& a, const std::string& b)
{
    struct stat first {};
    struct stat second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

std::string RunFiles::CreateTemp(const std::string& besidePath)
{
    std::string path = CreateUniqueFile(FolderPart(besidePath) + "~tmp", ".tmp", 0600);
    if (path.empty()) path = CreateUniqueFile(SystemTempFolder() + "~tmp", ".tmp", 0600);
    if (!path.empty()) m_temps.push_back(path);
    return path;
}

std::string RunFiles::StageOutput(const std::string& finalPath)
{
    // An output named by a link is the file the link leads to: the link stays.
    std::string target = finalPath;
    struct stat info {};
    if (::lstat(finalPath.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        if (char* resolved = ::realpath(finalPath.c_str(), nullptr)) {
            target = resolved;
            std::free(resolved);
        }
    }
    // A device or a pipe (/dev/null, a terminal) is written as it is, never replaced.
    if (::stat(target.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) return target;
    // A name beside the final one, so the rename stays within one file system.
    const std::string path =
        CreateUniqueFile(FolderPart(target) + "~" + NamePart(target) + ".", ".part", 0666);
    if (!path.empty()) m_staged.push_back({path, target});
    return path;
}

bool RunFiles::Commit(std::string* failedFinal)
{
    for (std::size_t i = 0; i < m_staged.size(); ++i) {
        if (std::rename(m_staged[i].temporary.c_str(), m_staged[i].final.c_str()) == 0) continue;
        if (failedFinal) *failedFinal = m_staged[i].final;
        // Those already in place were made by this run: a failed run leaves none of its outputs.
        for (std::size_t done = 0; done < i; ++done) std::remove(m_staged[done].final.c_str());
        m_staged.erase(m_staged.begin(), m_staged.begin() + static_cast<std::ptrdiff_t>(i));
        RemoveNow();
        return false;
    }
    m_staged.clear();
    RemoveNow();
    return true;
}

const char* const RunFiles::kCannotWriteOutput =
    "Error when writing output file.\nYou may wish to copy files from CD-ROM to hard disk.";

void RunFiles::RemoveTemporaries()
{
    for (const auto& path : m_temps) std::remove(path.c_str());
    m_temps.clear();
}

void RunFiles::RemoveNow()
{
    for (const auto& path : m_temps) std::remove(path.c_str());
    for (const auto& staged : m_staged) std::remove(staged.temporary.c_str());
    m_temps.clear();
    m_staged.clear();
}

void RunFiles::Remove(const std::string& path)
{
    for (auto it = m_temps.begin(); it != m_temps.end(); ++it) {
        if (*it != path) continue;
        std::remove(path.c_str());
        m_temps.erase(it);
        return;
    }
}

}  // namespace lumesta
