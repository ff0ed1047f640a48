#pragma once
// Helpers shared by the GeoTIFF extraction and writing routines (engine-internal).

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>

namespace lumesta {

// Removes the file it names when it goes out of scope, unless Keep() was called: an output
// that a failed or cancelled routine leaves half written must not look like a result.
// Declare it before the handle that writes the file, so the handle is closed first.
class RemoveUnlessKept {
public:
    explicit RemoveUnlessKept(std::string path) : m_path(std::move(path)) {}
    ~RemoveUnlessKept()
    {
        if (!m_kept) std::remove(m_path.c_str());
    }
    RemoveUnlessKept(const RemoveUnlessKept&) = delete;
    RemoveUnlessKept& operator=(const RemoveUnlessKept&) = delete;
    void Keep() { m_kept = true; }

private:
    std::string m_path;
    bool m_kept = false;
};

// Raw band files hold 16-bit samples little-endian, libtiff hands them over in the machine's
// order: swaps 16-bit samples in place on a big-endian machine, does nothing otherwise.
// Used in both directions.
inline void SwapRawSamples(std::uint8_t* bytes, std::size_t byteCount, int bytesPerSample)
{
    const std::uint16_t probe = 1;
    const bool littleEndian = *reinterpret_cast<const std::uint8_t*>(&probe) == 1;
    if (littleEndian || bytesPerSample != 2) return;
    for (std::size_t i = 0; i + 1 < byteCount; i += 2) std::swap(bytes[i], bytes[i + 1]);
}

}  // namespace lumesta
