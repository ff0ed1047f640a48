#include "raster/group_file.h"

#include <cstdint>

#include "raster/file_name.h"
#include "raster/text_reader.h"

namespace lumesta {
namespace {

// Band names are file names without folder and extension.
constexpr std::size_t kMaxNameLength = 254;

// The count line: a decimal integer kept as a signed 16-bit value (its low 16 bits), the rest
// of the line ignored. False when the file holds no number there.
bool ReadBandCount(TextFileReader& in, int& count)
{
    long long value = 0;
    if (in.ReadInt64(value) != TextFileReader::NumberRead::Read) return false;
    count = static_cast<std::int16_t>(static_cast<std::uint16_t>(value));
    in.SkipPast('\n');
    return true;
}

// One name per line; CR LF or LF ends, the CR is not part of the name. False for a missing,
// empty or overlong name.
bool ReadName(TextFileReader& in, std::string& name)
{
    if (!in.ReadTextLine(name, kMaxNameLength + 1)) return false;
    return !name.empty() && name.size() <= kMaxNameLength;
}

}  // namespace

std::optional<GroupFile> ReadGroupFile(const std::string& path, int minimumBands,
                                       const std::string& readFailureMessage, Host& host)
{
    static const char kHasRstExtension[] =
        "Check Idrisi32's Group Raster File (*.rgf): Files in the group file should have no .rst "
        "extension.";
    const FilePtr file = OpenFileForReading(path);
    if (!file) {
        host.ShowMessage(readFailureMessage);
        return std::nullopt;
    }
    TextFileReader in(file.get());
    int count = 0;
    if (!ReadBandCount(in, count)) {
        host.ShowMessage(readFailureMessage);
        return std::nullopt;
    }
    if (count < minimumBands) {
        host.ShowMessage("Idrisi32's Group Raster File (*.rgf) should contain at least " +
                         std::to_string(minimumBands) + " images.");
        return std::nullopt;
    }
    GroupFile group;
    group.folder = FolderOf(path);
    std::string name;
    for (int i = 0; i < count; ++i) {
        if (!ReadName(in, name)) {
            host.ShowMessage(readFailureMessage);
            return std::nullopt;
        }
        if (LastFourLower(name) == ".rst") {
            host.ShowMessage(kHasRstExtension);
            return std::nullopt;
        }
        group.names.push_back(name);
    }
    return group;
}

}  // namespace lumesta
