#pragma once
// Band rows of any raster the program reads, as doubles, from the layout DescribeRaster
// (raster_layout.h) reads from its header.

#include <cstdint>
#include <memory>
#include <string>

#include "core/host.h"
#include "raster/raster_layout.h"

namespace lumesta {

// Reads rows of one band. Not thread-safe; open one per stream.
class BandRowReader {
public:
    BandRowReader();
    ~BandRowReader();
    BandRowReader(const BandRowReader&) = delete;
    BandRowReader& operator=(const BandRowReader&) = delete;

    // False after "Cannot open PATH." (or the TIFF refusal).
    bool Open(const RasterLayout& layout, int band, Host& host);
    // Row y of the band as doubles (width samples). False after "Error reading PATH.".
    bool ReadRow(std::int64_t y, double* out);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

}  // namespace lumesta
