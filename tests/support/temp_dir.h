#pragma once
// A fresh folder per test, removed with everything in it when the test ends.

#include <cstdint>
#include <string>
#include <vector>

namespace lumesta::testing {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return m_path; }
    // path of a file in the folder
    std::string File(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

// Small file helpers for building inputs and checking outputs.
void WriteFileBytes(const std::string& path, const std::string& bytes);
std::string ReadFileBytes(const std::string& path);
void WriteInt16File(const std::string& path, const std::vector<std::int16_t>& samples);
void WriteByteFile(const std::string& path, const std::vector<std::uint8_t>& samples);
std::vector<std::int16_t> ReadInt16File(const std::string& path);
bool Exists(const std::string& path);
// True when the folder holds a file whose name starts with '~': a run's temporary file or an
// unfinished output.
bool HasTemporaryFiles(const std::string& folder);

}  // namespace lumesta::testing
