#pragma once
// A whole fused band for the in-place post-processing of the pan-sharpening runs.

#include <cstdint>
#include <vector>

#include "core/allocate.h"
#include "core/host.h"
#include "raster/raw_file.h"

namespace lumesta {

// A whole fused band for in-place post-processing. The file's pages are mapped where the
// system allows it, so the band is neither copied in nor written out again; otherwise the band
// is read into a buffer and Commit writes it back. Open and Commit show the run's messages.
template <typename T>
class BandView {
public:
    BandView() = default;
    ~BandView() { RawFile::Unmap(m_mapped, m_bytes); }
    BandView(const BandView&) = delete;
    BandView& operator=(const BandView&) = delete;

    bool Open(const RawFile& file, std::int64_t count, Host& host);
    T* Data() { return m_mapped ? static_cast<T*>(m_mapped) : m_buffer.data(); }
    bool Commit(const RawFile& file, Host& host);

private:
    void* m_mapped = nullptr;
    std::int64_t m_bytes = 0;
    std::vector<T> m_buffer;
};

template <typename T>
bool BandView<T>::Open(const RawFile& file, std::int64_t count, Host& host)
{
    RawFile::Unmap(m_mapped, m_bytes);
    m_bytes = count * static_cast<std::int64_t>(sizeof(T));
    m_mapped = file.Map(m_bytes);
    if (m_mapped) return true;
    if (m_buffer.size() != static_cast<std::size_t>(count) && !TryAllocate(m_buffer, count, host)) {
        return false;
    }
    if (file.ReadAt(0, m_bytes, m_buffer.data()) == m_bytes) return true;
    host.ShowMessage("Error! reading an image  file - length problem.");
    return false;
}

template <typename T>
bool BandView<T>::Commit(const RawFile& file, Host& host)
{
    if (m_mapped || file.WriteAt(0, m_bytes, m_buffer.data())) return true;
    host.ShowMessage(
        "Error when writing output file.\nYou may wish to copy files from CD-ROM to hard disk.");
    return false;
}

}  // namespace lumesta
