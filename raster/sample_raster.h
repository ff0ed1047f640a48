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

    // False after "Cannot open PATH.", "PATH changed while it was being read." (a TIFF whose
    // layout is no longer the one described) or the allocation message.
    bool Open(const RasterLayout& layout, int band, Host& host);
    // Row y of the band as doubles (width samples). False after "Error reading PATH." (also
    // for a strip that decodes too short to hold the row).
    bool ReadRow(std::int64_t y, double* out);
    // True for a band read through GDAL whose file has a mask of its own (a per-band or
    // per-dataset mask, an alpha band; not one made from a no-data value).
    bool HasOwnMask() const;
    // Row y of that mask: 1 valid, 0 no data. False after "Error reading PATH." or GDAL's
    // sentence naming the file.
    bool ReadMaskRow(std::int64_t y, std::uint8_t* out);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

}  // namespace lumesta
