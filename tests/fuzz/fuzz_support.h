#pragma once
// What every libFuzzer harness shares: a host that answers No and records nothing, and a
// per-process scratch folder where the input bytes become the file a reader opens.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "core/host.h"

namespace lumesta::fuzz {

class QuietProgress : public RunProgress {
public:
    void SetRange(int, int, int) override {}
    void SetPosition(int) override {}
    void SetStatusText(const std::string&) override {}
    void PumpMessages(bool) override {}
    bool IsCancelled() const override { return false; }
};

class QuietHost : public Host {
public:
    void ShowMessage(const std::string&) override {}
    bool AskYesNo(const std::string&) override { return false; }
    void AppendLog(const std::string&) override {}
    void PumpPendingMessages() override {}
    bool IsCancelled() const override { return false; }
    std::unique_ptr<RunProgress> OpenProgress(const std::string&, ProgressOwner) override
    {
        return std::make_unique<QuietProgress>();
    }
    void OpenInViewer(ViewerKind, const std::string&) override {}
    void SetBusyCursor(bool) override {}
};

// The scratch folder of this process (made once, ends with '/').
std::string ScratchFolder();

// Writes the bytes to name in the scratch folder and returns its path.
std::string WriteScratch(const std::string& name, const std::uint8_t* data, std::size_t size);

// Writes the bytes up to the first NUL to header and the rest after it to name (a header beside
// its data file); returns the data file's path.
std::string WriteHeaderAndData(const std::string& header, const std::string& name,
                               const std::uint8_t* data, std::size_t size);

}  // namespace lumesta::fuzz
