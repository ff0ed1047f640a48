#pragma once
// The files a quality run writes (the per-block map, the degraded scene, each method's kept
// result) go through the run-files guard as every tool's outputs do: each is written under a
// name of the run's own beside its final name and renamed into place only when the run has
// finished, so a failed, cancelled or refused run leaves no file under a final name and changes
// no file that was there. An output is never one of the run's inputs, whatever the answers.

#include <string>
#include <vector>

#include "core/host.h"
#include "core/run_files.h"

namespace lumesta {

class QualityOutputs {
public:
    // inputs: every file the run reads; the ENVI and Idrisi32 headers beside them count too.
    explicit QualityOutputs(const std::vector<std::string>& inputs);
    // Removes every file staged and not committed, and the folders Stage made that are empty.
    ~QualityOutputs();
    QualityOutputs(const QualityOutputs&) = delete;
    QualityOutputs& operator=(const QualityOutputs&) = delete;

    // Before anything is computed: refuses an output that is one of the inputs (the same file on
    // disk, through a link or another spelling too) with "PATH is an input of this run.\nChoose
    // another name or folder for the outputs.", even when questions are answered Yes, and asks
    // "PATH already exists.\nDo you want to overwrite?" before an existing file is replaced.
    // False after the message or a No; nothing is removed or written here.
    bool Confirm(const std::vector<std::string>& finalPaths, Host& host);

    // The name to write finalPath under: a new empty file of the run's own beside it, its folder
    // made when missing. Empty after "Cannot write FINALPATH.".
    std::string Stage(const std::string& finalPath, Host& host);

    // Renames every staged file into place, replacing what is there. False after "Cannot write
    // PATH." (then none of them stays).
    bool Commit(Host& host);

private:
    std::vector<std::string> m_inputs;
    std::vector<std::string> m_madeFolders;  // in the order made, parents first
    RunFiles m_files;
};

}  // namespace lumesta
