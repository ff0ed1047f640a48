#include "workflows/quality_outputs.h"

#include <filesystem>
#include <system_error>

#include "raster/file_name.h"

namespace lumesta {

QualityOutputs::QualityOutputs(const std::vector<std::string>& inputs)
{
    for (const std::string& input : inputs) {
        if (input.empty()) continue;
        m_inputs.push_back(input);
        m_inputs.push_back(WithoutLastFour(input) + ".hdr");
        m_inputs.push_back(WithoutLastFour(input) + ".rdc");
    }
}

QualityOutputs::~QualityOutputs()
{
    m_files.RemoveNow();
    std::error_code ignored;
    for (auto folder = m_madeFolders.rbegin(); folder != m_madeFolders.rend(); ++folder) {
        if (std::filesystem::is_empty(*folder, ignored)) std::filesystem::remove(*folder, ignored);
    }
}

bool QualityOutputs::Confirm(const std::vector<std::string>& finalPaths, Host& host)
{
    for (const std::string& path : finalPaths) {
        for (const std::string& input : m_inputs) {
            if (!IsSameExistingFile(path, input) && !SamePath(path, input)) continue;
            host.ShowMessage(path +
                             " is an input of this run.\nChoose another name or folder for the "
                             "outputs.");
            return false;
        }
    }
    for (const std::string& path : finalPaths) {
        if (FileExists(path) &&
            !host.AskYesNo(path + " already exists.\nDo you want to overwrite?"))
            return false;
    }
    return true;
}

std::string QualityOutputs::Stage(const std::string& finalPath, Host& host)
{
    // The folders missing on the way, made here and removed again when the run leaves them empty.
    std::vector<std::filesystem::path> missing;
    std::error_code error;
    for (auto folder = std::filesystem::path(finalPath).parent_path();
         !folder.empty() && !std::filesystem::exists(folder, error);
         folder = folder.parent_path()) {
        missing.insert(missing.begin(), folder);
        if (folder == folder.parent_path()) break;
    }
    for (const auto& folder : missing) {
        if (std::filesystem::create_directory(folder, error))
            m_madeFolders.push_back(folder.string());
    }
    const std::string staged = m_files.StageOutput(finalPath);
    if (staged.empty()) host.ShowMessage("Cannot write " + finalPath + ".");
    return staged;
}

bool QualityOutputs::Commit(Host& host)
{
    std::string failed;
    if (m_files.Commit(&failed)) {
        m_madeFolders.clear();
        return true;
    }
    host.ShowMessage("Cannot write " + failed + ".");
    return false;
}

}  // namespace lumesta
