#pragma once
// A band of a raster file as a row stream (rows read on demand, converted to double).

#include "imaging/row_stream.h"
#include "raster/sample_raster.h"

namespace lumesta {

class BandStream : public RowStream {
public:
    BandStream(const RasterLayout& layout, int band);
    // False after the reader's message when the file cannot be opened.
    bool Open(Host& host);

protected:
    bool Produce(std::int64_t y, double* out) override { return m_reader.ReadRow(y, out); }

private:
    RasterLayout m_layout;
    int m_band;
    BandRowReader m_reader;
};

}  // namespace lumesta

#include <memory>
#include <string>
#include <vector>

#include "raster/georeference.h"

namespace lumesta {

// One band of one raster file.
struct BandSource {
    RasterLayout layout;
    int band = 0;
    // The file's own mask (GDAL's per-band or per-dataset mask, an alpha band) marks no data
    // too, where it has one; window sources give its pixels as NaN.
    bool ownMask = false;
    // The part of the band used (a placed pair's common area): width × height samples from
    // column left, row top; width 0: the whole band.
    std::int64_t left = 0;
    std::int64_t top = 0;
    std::int64_t width = 0;
    std::int64_t height = 0;
};

// The size of the part of the band used.
std::int64_t BandWidth(const BandSource& band);
std::int64_t BandHeight(const BandSource& band);

// The georeferencing of the part used: its file's, moved to the part's corner (invalid when the
// file has none).
Georeference BandGeoreference(const BandSource& band);

// The bands named on a command line or in a dialog: several single-band files in band order,
// or one file with all its bands. False after the message ("PATH holds N bands: give one
// multi-band file or single-band files." or a reader's message).
bool ResolveBands(const std::vector<std::string>& paths, const GenericSize& generic, Host& host,
                  std::vector<BandSource>& bands);

// Opens a stream per band; false after the reader's message.
bool OpenBandStreams(const std::vector<BandSource>& bands, Host& host,
                     std::vector<std::unique_ptr<BandStream>>& streams);

// Raw pointers to the streams, for the metric functions.
std::vector<RowStream*> StreamPointers(const std::vector<std::unique_ptr<BandStream>>& streams);

}  // namespace lumesta
