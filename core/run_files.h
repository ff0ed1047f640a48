#pragma once
// The files a run writes. Every temporary file and every output gets a name of its own for the
// run, created exclusively, so two runs working in one folder (or on the same inputs) never
// touch each other's files and a user's file is never taken over. Outputs are written under
// such a name beside their final name and renamed into place only when the run has finished,
// so a file under a final name is never partial, whatever stops the run. The guard removes
// every file it made and did not hand over, on every path; it never removes a file it did not
// make.

#include <string>
#include <vector>

namespace lumesta {

class RunFiles {
public:
    RunFiles() = default;
    ~RunFiles() { RemoveNow(); }
    RunFiles(const RunFiles&) = delete;
    RunFiles& operator=(const RunFiles&) = delete;

    // A new empty temporary file in the folder of besidePath, or in the system's temporary
    // folder when that folder takes no new file. Empty when neither could make one.
    std::string CreateTemp(const std::string& besidePath);

    // A new empty file in the folder of finalPath that stands for it until Commit. Empty when
    // the folder takes no new file. A finalPath that is a link stands for the file it leads
    // to; one that is a device or a pipe is returned itself, written directly and never
    // removed.
    std::string StageOutput(const std::string& finalPath);

    // Renames every staged output into its final name, in the order staged, replacing what is
    // there. False when a rename failed (failedFinal, when given, then names its final name):
    // then no staged output stays, neither under its own name nor under a final one.
    bool Commit(std::string* failedFinal = nullptr);

    // Removes every file made so far and not committed.
    void RemoveNow();

    // Removes the temporary files made so far; staged outputs stay for Commit.
    void RemoveTemporaries();

    // Removes one file made by this guard now (a temporary no longer needed).
    void Remove(const std::string& path);

    // The message of an output that cannot be made or renamed into place.
    static const char* const kCannotWriteOutput;

private:
    struct Staged {
        std::string temporary;
        std::string final;
    };
    std::vector<std::string> m_temps;
    std::vector<Staged> m_staged;
};

// True when both names lead to one existing file: the same device and inode, so that hard and
// symbolic links and every other spelling of a name count as that file.
bool IsSameExistingFile(const std::string& a, const std::string& b);

// Creates a new empty file exclusively under a name that starts with stem and ends with six
// random characters plus tail; the name made, or empty after 100 names already taken or any
// other failure. mode is given to open (the umask applies).
std::string CreateUniqueFile(const std::string& stem, const std::string& tail, unsigned mode);

}  // namespace lumesta
