#pragma once
// The one image model: a description of any image the program reads (ENVI, Idrisi32 and their
// groups, GeoTIFF, everything read through GDAL, generic matrices, 24-bit BMP) and reads of
// windows of it, at full resolution or decimated, without ever loading the whole image. Samples
// arrive as floats (exact for every 8- and 16-bit type) or doubles (exact for every type but
// 64-bit integers); single values as doubles; validity masks as bytes.

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "raster/georeference.h"
#include "raster/raster_layout.h"
#include "raster/reader_choice.h"

namespace lumesta {

// SampleType and SampleBytes are those of the raster layouts (raster_layout.h).
// "8-bit unsigned integer", "16-bit signed integer", "32-bit float", ...
std::string SampleTypeName(SampleType type);

// The largest image the readers accept: a million columns or rows, 1024 bands, 2^40 samples.
inline constexpr std::int64_t kMaxImageSide = 1000000;
inline constexpr std::int64_t kMaxImageBands = 1024;
inline constexpr std::int64_t kMaxImageSamples = std::int64_t{1} << 40;

// Refuses sizes no image has: a zero or negative side, more than a million columns or rows,
// more than 1024 bands, or more than 2^40 samples. False with error set.
bool CheckImageSize(std::int64_t width, std::int64_t height, std::int64_t bands,
                    std::string& error);

struct RasterDescription {
    std::string format;                    // "ENVI", "Idrisi32", "GeoTIFF", "GDAL JP2OpenJPEG", ...
    ReaderKind reader = ReaderKind::Matrix;  // the reader that opened it
    std::vector<std::string> dataPaths;    // one per file holding bands
    std::vector<std::string> headerPaths;  // headers and group files read
    std::int64_t byteSize = 0;             // of all data files together
    int width = 0;
    int height = 0;
    int bands = 0;
    SampleType type = SampleType::UInt8;
    std::vector<std::string> bandNames;
    std::string layout;  // how the samples are stored, for the information panel
    Georeference geo;
    // The file's own no-data declaration (ENVI "data ignore value", the GeoTIFF no-data tag,
    // GDAL's band no-data value of the first band), if any.
    std::optional<double> noData;
    // GDAL reports a mask that is neither "all valid" nor derived from a no-data value (a
    // per-dataset or per-band mask, an alpha band); ReadMaskWindow reads it.
    bool maskBand = false;
    // Set when the data files hold fewer rows than the header declares: the rows from
    // availableRows on read 0, and this note says so.
    int availableRows = 0;
    std::string missingNote;
};

// Which samples a window read takes: sample (i, j) of the result is image pixel
// (x0 + i * step, y0 + j * step), for i < columns and j < rows.
struct SampleWindow {
    int x0 = 0;
    int y0 = 0;
    int columns = 0;
    int rows = 0;
    int step = 1;
};

class RasterSource {
public:
    virtual ~RasterSource() = default;
    const RasterDescription& Description() const { return m_description; }

    // Fills out (window.columns × window.rows floats, row-major, owned by the caller) with the
    // band's samples; pixels outside the image or beyond the end of the data read 0. Checks
    // cancel (when given) between rows: false when cancelled, or when the file cannot be read
    // (ReadError then says why). May be called from any one thread at a time together with
    // ReadValue from another; a run that reads in parallel opens one source per stream.
    virtual bool ReadWindow(int band, const SampleWindow& window, float* out,
                            const std::atomic<bool>* cancel) = 0;
    // As ReadWindow, as doubles: exact for every sample type but 64-bit integers beyond 2^53.
    // The default converts ReadWindow's floats; readers of wider types read doubles themselves.
    virtual bool ReadWindowDouble(int band, const SampleWindow& window, double* out,
                                  const std::atomic<bool>* cancel);
    // The exact value of one sample; nothing when it lies outside the image or the data (or,
    // for readers that decode blocks, while another thread is reading).
    virtual std::optional<double> ReadValue(int band, int x, int y) = 0;
    // Fills out (window.columns × window.rows bytes, row-major, owned by the caller) with the
    // band's validity: 1 valid, 0 no data. Pixels outside the image are 0. The default: valid
    // where the sample differs from noData (compared as ReadWindow's floats), every pixel of
    // the image valid without a noData. GDAL sources read GDAL's mask of the band (its own
    // no-data value, a per-band or per-dataset mask, an alpha band). False when the samples
    // cannot be read (ReadError says why).
    virtual bool ReadMaskWindow(int band, const SampleWindow& window, std::uint8_t* out);

    // Why the last read returned false: empty after a cancel or when nothing failed.
    const std::string& ReadError() const { return m_readError; }

protected:
    RasterDescription m_description;
    std::string m_readError;
};

// Where the bytes of a sample lie in one file: band b, row y, column x starts at
// firstSample + b × bandStride + y × rowStride + x × pixelStride (rowStride is negative for
// bottom-up rows, firstSample then pointing at the top row).
struct RawLayout {
    std::int64_t firstSample = 0;
    std::int64_t bandStride = 0;
    std::int64_t rowStride = 0;
    std::int64_t pixelStride = 0;
    bool bigEndian = false;
};

// A source over one raw file laid out as given; description is completed with the rows the
// file holds. Nothing when the file cannot be opened (error says why).
std::unique_ptr<RasterSource> OpenRawSource(const std::string& path, RasterDescription description,
                                            const RawLayout& layout, std::string& error);

// Bands of several sources of the same size, one after the other (an Idrisi32 group, the input
// bands of a run). The description is that of the first part with every band and file added
// (and reader, when given, as its reader).
std::unique_ptr<RasterSource> StackSources(std::vector<std::unique_ptr<RasterSource>> parts,
                                           const std::string& format,
                                           std::optional<ReaderKind> reader = std::nullopt);

// The given bands of a shared source (several picks may share one open file), named by names
// where a name is given.
std::unique_ptr<RasterSource> PickBands(std::shared_ptr<RasterSource> inner, std::vector<int> bands,
                                        const std::vector<std::string>& names = {});

// inner shown on a width × height grid by nearest neighbour: pixel (x, y) takes inner's pixel
// (x × innerWidth / width, y × innerHeight / height), integer division. Georeferencing is
// that of the grid when given, else inner's scaled.
std::unique_ptr<RasterSource> ResampleNearest(std::unique_ptr<RasterSource> inner, int width,
                                              int height);

}  // namespace lumesta
