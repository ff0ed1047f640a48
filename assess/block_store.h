#pragma once
// The per-block values of a measurement that goes through an image a panel of columns at a time:
// put a panel's blocks at a time, taken back a block row at a time in image order, so that sums
// over the blocks keep the order of a measurement of the whole image at once. Held in memory up
// to a few megabytes, beyond that in a temporary file of the run, removed with the store.

#include <cstdint>
#include <vector>

#include "core/host.h"
#include "core/run_files.h"
#include "raster/raw_file.h"

namespace lumesta {

class BlockStore {
public:
    // Values held in memory at most; larger grids go to a temporary file.
    static constexpr std::int64_t kMemoryBytes = std::int64_t{8} << 20;

    // A grid of rows × columns blocks of count values each, in memory when it takes at most
    // memoryBytes. False after "Cannot make a temporary file (REASON)."
    bool Open(std::int64_t rows, std::int64_t columns, int count, Host& host,
              std::int64_t memoryBytes = kMemoryBytes);
    // The values of blocks (row, first) .. (row, first + blocks − 1), count each, in order. False
    // after the message above.
    bool Put(std::int64_t row, std::int64_t first, std::int64_t blocks, const double* values);
    // Every value of a block row (columns × count) into values. False after the message above.
    bool TakeRow(std::int64_t row, std::vector<double>& values);

private:
    bool Fail(const char* what);

    Host* m_host = nullptr;
    std::int64_t m_columns = 0;
    int m_count = 0;
    bool m_inMemory = true;
    std::vector<double> m_memory;  // the whole grid, when it fits
    RunFiles m_files;
    RawFile m_file;
};

}  // namespace lumesta
