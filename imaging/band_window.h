#pragma once
// One band of a raster file as a window source: rows read on demand in any order, samples equal
// to the band's no-data value (and, with BandSource::ownMask, those its file's mask leaves out)
// given as NaN. Each row is read whole and the window taken from it
// (the row readers of the program's formats read rows).

#include <cstdint>
#include <optional>
#include <vector>

#include "imaging/band_stream.h"
#include "imaging/row_window.h"

namespace lumesta {

class BandWindowSource : public RowWindowSource {
public:
    BandWindowSource(const BandSource& source, std::optional<double> noData);
    // False after the reader's message when the file cannot be opened.
    bool Open(Host& host);
    std::int64_t Width() const override { return BandWidth(m_source); }
    std::int64_t Height() const override { return BandHeight(m_source); }
    bool ReadRow(std::int64_t y, std::int64_t left, std::int64_t count, double* out) override;

private:
    BandSource m_source;
    std::optional<double> m_noData;
    BandRowReader m_reader;
    std::vector<double> m_row;
    std::vector<std::uint8_t> m_mask;  // empty without a mask of the file's own
    std::int64_t m_rowHeld = -1;  // the row m_row (and m_mask) holds
};

// Opens a source per band, with noData[k] as band k's no-data value (none when noData is
// empty); false after the reader's message.
bool OpenBandWindows(const std::vector<BandSource>& bands,
                     const std::vector<std::optional<double>>& noData, Host& host,
                     std::vector<std::unique_ptr<BandWindowSource>>& sources);

// Whether band's own mask counts (BandSource::ownMask) and its file has one; false also when the
// file cannot be opened (its readers say so).
bool HasOwnMask(const BandSource& band);

// Raw pointers to the sources, for the metric functions.
std::vector<RowWindowSource*> WindowPointers(
    const std::vector<std::unique_ptr<BandWindowSource>>& sources);

}  // namespace lumesta
