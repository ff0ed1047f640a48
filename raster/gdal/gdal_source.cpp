#include "raster/gdal/gdal_source.h"

#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "core/memory_available.h"
#include "raster/file_name.h"
#include "raster/gdal/gdal_setup.h"
#include "raster/gdal/jpeg2000_check.h"

namespace lumesta {
namespace {

// A block GDAL decodes whole (a tile, a strip, all bands of a pixel-interleaved block) may take
// at most this much memory, whatever the file declares.
constexpr double kMaxBlockBytes = 128.0 * (1 << 20);
// Rows of a window read with one RasterIO call between two looks at the cancel flag.
constexpr int kRowsPerCall = 64;
// Files of a dataset (a VRT's sources, side-car files) listed in its description, at most.
constexpr int kMaxListedFiles = 64;

struct DatasetCloser {
    void operator()(GDALDataset* dataset) const { GDALClose(dataset); }
};
using DatasetPtr = std::unique_ptr<GDALDataset, DatasetCloser>;

// Only the driver a name stands for may open it: a ".tif" holding something else is no
// GeoTIFF, and no other driver guesses at it.
std::vector<const char*> DriversFor(const std::string& path)
{
    const std::string ext = ExtensionLower(path);
    if (ext == "tif" || ext == "tiff") return {"GTiff", nullptr};
    if (ext == "jp2" || ext == "j2k" || ext == "jpx")
        return {"JP2OpenJPEG", "JP2KAK", "JP2ECW", "JPEG2000", "JP2MrSID", nullptr};
    if (ext == "ntf" || ext == "nitf") return {"NITF", nullptr};
    if (ext == "vrt") return {"VRT", nullptr};
    if (ext == "til") return {"TIL", nullptr};
    if (ext == "gpkg") return {"GPKG", nullptr};
    return {nullptr};
}

std::optional<SampleType> TypeOf(GDALDataType type)
{
    switch (type) {
        case GDT_Byte:
            return SampleType::UInt8;
        case GDT_UInt16:
            return SampleType::UInt16;
        case GDT_Int16:
            return SampleType::Int16;
        case GDT_UInt32:
            return SampleType::UInt32;
        case GDT_Int32:
            return SampleType::Int32;
        case GDT_UInt64:
            return SampleType::UInt64;
        case GDT_Int64:
            return SampleType::Int64;
        case GDT_Float32:
            return SampleType::Float32;
        case GDT_Float64:
            return SampleType::Float64;
        default:
            return std::nullopt;
    }
}

// sentence (which names path) completed with GDAL's own text, less the path GDAL repeats.
std::string WithGdalText(const std::string& sentence, const std::string& path)
{
    std::string gdal = TakeGdalError();
    if (gdal.compare(0, path.size() + 2, path + ": ") == 0) gdal.erase(0, path.size() + 2);
    return gdal.empty() ? sentence + "." : sentence + ": " + gdal;
}

Georeference GeoreferenceOf(GDALDataset& dataset)
{
    Georeference geo;
    double t[6] = {0, 1, 0, 0, 0, 1};
    if (dataset.GetGeoTransform(t) != CE_None) {
        TakeGdalError();
        return geo;
    }
    geo.originX = t[0];
    geo.pixelWidth = t[1];
    geo.rowSkewX = t[2];
    geo.originY = t[3];
    geo.columnSkewY = t[4];
    geo.pixelHeight = t[5];
    geo.source = std::string("GDAL (") + dataset.GetDriver()->GetDescription() + ")";
    geo.valid = true;
    if (const OGRSpatialReference* srs = dataset.GetSpatialRef()) {
        char* wkt = nullptr;
        if (srs->exportToWkt(&wkt) == OGRERR_NONE && wkt != nullptr) geo.crsWkt = wkt;
        CPLFree(wkt);
        const char* authority = srs->GetAuthorityName(nullptr);
        const char* code = srs->GetAuthorityCode(nullptr);
        if (authority != nullptr && code != nullptr && EQUAL(authority, "EPSG"))
            geo.epsg = std::atoi(code);
        const char* name = srs->GetName();
        geo.crsName = name != nullptr ? name : (geo.epsg != 0 ? EpsgName(geo.epsg) : "");
    }
    TakeGdalError();
    return geo;
}

// The image's bands without its alpha bands (they mask the others), as GDAL band numbers.
std::vector<int> DataBands(GDALDataset& dataset)
{
    std::vector<int> bands;
    const int count = dataset.GetRasterCount();
    for (int b = 1; b <= count; ++b) {
        if (dataset.GetRasterBand(b)->GetColorInterpretation() != GCI_AlphaBand || count == 1)
            bands.push_back(b);
    }
    return bands;
}

// The first alpha band left out of the bands (0: none).
int AlphaBand(GDALDataset& dataset, const std::vector<int>& bands)
{
    for (int b = 1; b <= dataset.GetRasterCount(); ++b) {
        if (std::find(bands.begin(), bands.end(), b) == bands.end()) return b;
    }
    return 0;
}

class GdalSource : public RasterSource {
public:
    // alpha: an alpha band left out of bands (0: none); it masks every band even where GDAL
    // does not take it for their mask (GDAL does so for 2- and 4-band images only).
    GdalSource(DatasetPtr dataset, std::vector<int> bands, int alpha, RasterDescription description)
        : m_dataset(std::move(dataset)), m_bands(std::move(bands)), m_alpha(alpha)
    {
        m_description = std::move(description);
    }

    bool ReadWindow(int band, const SampleWindow& window, float* out,
                    const std::atomic<bool>* cancel) override
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return ReadClipped(Band(band), window, out, GDT_Float32, cancel);
    }

    bool ReadWindowDouble(int band, const SampleWindow& window, double* out,
                          const std::atomic<bool>* cancel) override
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return ReadClipped(Band(band), window, out, GDT_Float64, cancel);
    }

    // Gives nothing while another thread is reading: a pointer readout never waits for a
    // decode.
    std::optional<double> ReadValue(int band, int x, int y) override
    {
        const std::unique_lock<std::mutex> lock(m_mutex, std::try_to_lock);
        GDALRasterBand* b = Band(band);
        if (!lock.owns_lock() || b == nullptr || x < 0 || y < 0 || x >= m_description.width ||
            y >= m_description.height) {
            return {};
        }
        double value = 0;
        if (b->RasterIO(GF_Read, x, y, 1, 1, &value, 1, 1, GDT_Float64, 0, 0) != CE_None) {
            TakeGdalError();
            return {};
        }
        return value;
    }

    // GDAL's own mask of the band: its no-data value (each band its own), a per-band or
    // per-dataset mask, an alpha band.
    bool ReadMaskWindow(int band, const SampleWindow& window, std::uint8_t* out) override
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        GDALRasterBand* b = Band(band);
        const int flags = b != nullptr ? b->GetMaskFlags() : 0;
        if ((flags & GMF_ALL_VALID) != 0) {
            MarkInside(window, out);
        } else if (!ReadClipped(b != nullptr ? b->GetMaskBand() : nullptr, window, out, GDT_Byte,
                                nullptr)) {
            return false;
        }
        const std::int64_t count = static_cast<std::int64_t>(window.columns) * window.rows;
        for (std::int64_t i = 0; i < count; ++i) out[i] = out[i] != 0 ? 1 : 0;
        if (m_alpha == 0 || (flags & GMF_ALPHA) != 0) return true;
        // The alpha band GDAL did not take for the band's mask: 0 marks no data too.
        std::vector<std::uint8_t> alpha(static_cast<std::size_t>(count));
        if (!ReadClipped(m_dataset->GetRasterBand(m_alpha), window, alpha.data(), GDT_Byte,
                         nullptr)) {
            return false;
        }
        for (std::int64_t i = 0; i < count; ++i) {
            if (alpha[static_cast<std::size_t>(i)] == 0) out[i] = 0;
        }
        return true;
    }

private:
    GDALRasterBand* Band(int band) const
    {
        if (band < 0 || band >= static_cast<int>(m_bands.size())) return nullptr;
        return m_dataset->GetRasterBand(m_bands[static_cast<std::size_t>(band)]);
    }

    // Reads the part of window inside the image into out (as type), zeros elsewhere. Rows of a
    // decimated window are read whole across the window's span and picked from: GDAL's own
    // decimation would resample (or take an overview) instead of picking the very pixels.
    template <typename T>
    bool ReadClipped(GDALRasterBand* band, const SampleWindow& w, T* out, GDALDataType type,
                     const std::atomic<bool>* cancel)
    {
        m_readError.clear();
        std::fill(out, out + static_cast<std::int64_t>(w.columns) * w.rows, T{});
        if (band == nullptr || w.step < 1) {
            m_readError = "The image has no such band.";
            return false;
        }
        const int first = FirstInside(w.x0, w.step);
        const int last = LastInside(w.x0, w.step, w.columns, m_description.width);
        const int top = FirstInside(w.y0, w.step);
        const int bottom = LastInside(w.y0, w.step, w.rows, m_description.height);
        if (last < first || bottom < top) return true;
        const int xFirst = w.x0 + first * w.step;
        const int count = last - first + 1;
        const GSpacing size = sizeof(T);
        if (w.step == 1) {
            for (int j = top; j <= bottom; j += kRowsPerCall) {
                if (cancel != nullptr && cancel->load()) return false;
                const int rows = std::min(kRowsPerCall, bottom - j + 1);
                T* at = out + static_cast<std::int64_t>(j) * w.columns + first;
                if (band->RasterIO(GF_Read, xFirst, w.y0 + j, count, rows, at, count, rows, type,
                                   size, size * w.columns) != CE_None) {
                    return Failed();
                }
            }
            return true;
        }
        const int span = (count - 1) * w.step + 1;
        std::vector<T> row(static_cast<std::size_t>(span));
        for (int j = top; j <= bottom; ++j) {
            if (cancel != nullptr && cancel->load()) return false;
            if (band->RasterIO(GF_Read, xFirst, w.y0 + j * w.step, span, 1, row.data(), span, 1,
                               type, 0, 0) != CE_None) {
                return Failed();
            }
            T* at = out + static_cast<std::int64_t>(j) * w.columns + first;
            for (int i = 0; i < count; ++i) at[i] = row[static_cast<std::size_t>(i) * w.step];
        }
        return true;
    }

    // 1 for the window's pixels inside the image, 0 for the others.
    void MarkInside(const SampleWindow& w, std::uint8_t* out) const
    {
        std::fill(out, out + static_cast<std::int64_t>(w.columns) * w.rows, std::uint8_t{0});
        const int first = FirstInside(w.x0, w.step);
        const int last = LastInside(w.x0, w.step, w.columns, m_description.width);
        const int top = FirstInside(w.y0, w.step);
        const int bottom = LastInside(w.y0, w.step, w.rows, m_description.height);
        for (int j = top; j <= bottom && first <= last; ++j) {
            std::uint8_t* row = out + static_cast<std::int64_t>(j) * w.columns;
            std::fill(row + first, row + last + 1, std::uint8_t{1});
        }
    }

    // The first index i >= 0 with start + i × step >= 0.
    static int FirstInside(int start, int step)
    {
        return start >= 0 ? 0
                          : static_cast<int>((-static_cast<std::int64_t>(start) + step - 1) / step);
    }
    // The last index i < count with start + i × step < size (-1 when none).
    static int LastInside(int start, int step, int count, int size)
    {
        if (count <= 0 || start >= size) return -1;
        const std::int64_t last = (static_cast<std::int64_t>(size) - 1 - start) / step;
        return static_cast<int>(std::min<std::int64_t>(last, count - 1));
    }

    bool Failed()
    {
        const std::string path =
            m_description.dataPaths.empty() ? std::string() : m_description.dataPaths.front();
        m_readError = WithGdalText("Cannot read " + path, path);
        return false;
    }

    std::mutex m_mutex;
    DatasetPtr m_dataset;
    std::vector<int> m_bands;
    int m_alpha = 0;
};

std::int64_t FileBytes(const std::string& path)
{
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 ? static_cast<std::int64_t>(status.st_size) : 0;
}

// The other files the dataset reads (a VRT's sources, masks and side-car files).
void ListFiles(GDALDataset& dataset, const std::string& path, RasterDescription& d)
{
    d.dataPaths = {path};
    d.byteSize = FileBytes(path);
    char** files = dataset.GetFileList();
    for (int i = 0; files != nullptr && files[i] != nullptr && i < kMaxListedFiles; ++i) {
        const std::string file = files[i];
        if (SamePath(file, path)) continue;
        d.headerPaths.push_back(file);
        d.byteSize += FileBytes(file);
    }
    CSLDestroy(files);
}

// Refuses blocks larger than a sane buffer or than the memory left: GDAL decodes a whole block
// whenever one of its samples is read.
bool CheckBlocks(GDALDataset& dataset, const std::vector<int>& bands, const std::string& path,
                 std::string& error)
{
    const char* interleave = dataset.GetMetadataItem("INTERLEAVE", "IMAGE_STRUCTURE");
    const bool pixel = interleave != nullptr && EQUAL(interleave, "PIXEL");
    for (const int b : bands) {
        GDALRasterBand* band = dataset.GetRasterBand(b);
        int blockWidth = 0;
        int blockHeight = 0;
        band->GetBlockSize(&blockWidth, &blockHeight);
        const double bytes = static_cast<double>(blockWidth) * blockHeight *
                             GDALGetDataTypeSizeBytes(band->GetRasterDataType()) *
                             (pixel ? static_cast<double>(bands.size()) : 1.0);
        if (blockWidth < 1 || blockHeight < 1 || bytes > kMaxBlockBytes ||
            !MemoryAllows(static_cast<std::uint64_t>(bytes) * 2)) {
            error = path + " stores its samples in blocks of " + std::to_string(blockWidth) +
                    " x " + std::to_string(blockHeight) + ", too large to be read.";
            return false;
        }
    }
    return true;
}

// The sample type of a band. Signed bytes come as Byte marked signed; GDAL then reads them as
// -128 .. 127.
std::optional<SampleType> BandType(GDALRasterBand& band)
{
    const GDALDataType type = band.GetRasterDataType();
    const char* pixelType = band.GetMetadataItem("PIXELTYPE", "IMAGE_STRUCTURE");
    if (type == GDT_Byte && pixelType != nullptr && EQUAL(pixelType, "SIGNEDBYTE"))
        return SampleType::Int8;
    return TypeOf(type);
}

// The sample type shared by every band; false with error set when there is none.
bool CommonType(GDALDataset& dataset, const std::vector<int>& bands, const std::string& path,
                SampleType& type, std::string& error)
{
    GDALRasterBand* first = dataset.GetRasterBand(bands.front());
    const std::optional<SampleType> known = BandType(*first);
    if (!known) {
        error = path + " holds samples of type " + GDALGetDataTypeName(first->GetRasterDataType()) +
                ", which cannot be read.";
        return false;
    }
    for (const int b : bands) {
        GDALRasterBand* other = dataset.GetRasterBand(b);
        if (BandType(*other) != known) {
            error = path + " holds bands of different sample types (" + SampleTypeName(*known) +
                    " and " + GDALGetDataTypeName(other->GetRasterDataType()) + ").";
            return false;
        }
    }
    type = *known;
    return true;
}

std::string LayoutOf(GDALDataset& dataset, int band)
{
    int blockWidth = 0;
    int blockHeight = 0;
    dataset.GetRasterBand(band)->GetBlockSize(&blockWidth, &blockHeight);
    std::string layout =
        "blocks of " + std::to_string(blockWidth) + " x " + std::to_string(blockHeight);
    if (const char* compression = dataset.GetMetadataItem("COMPRESSION", "IMAGE_STRUCTURE"))
        layout += std::string(", ") + compression;
    if (const char* interleave = dataset.GetMetadataItem("INTERLEAVE", "IMAGE_STRUCTURE"))
        layout += std::string(", ") + interleave + " interleaved";
    return layout + ", read through GDAL";
}

// Mask flags other than "all valid" and "from the no-data value" mean a mask of its own.
bool HasMaskBand(GDALDataset& dataset, const std::vector<int>& bands)
{
    for (const int b : bands) {
        const int flags = dataset.GetRasterBand(b)->GetMaskFlags();
        if ((flags & (GMF_ALL_VALID | GMF_NODATA)) == 0) return true;
    }
    return false;
}

RasterDescription Describe(GDALDataset& dataset, const std::vector<int>& bands,
                           const std::string& path, SampleType type)
{
    RasterDescription d;
    const std::string driver = dataset.GetDriver()->GetDescription();
    d.format = (driver == "GTiff" ? std::string("GeoTIFF") : driver) + " (GDAL)";
    d.reader = ReaderKind::Gdal;
    ListFiles(dataset, path, d);
    d.width = dataset.GetRasterXSize();
    d.height = dataset.GetRasterYSize();
    d.bands = static_cast<int>(bands.size());
    d.type = type;
    for (std::size_t k = 0; k < bands.size(); ++k) {
        const char* name = dataset.GetRasterBand(bands[k])->GetDescription();
        d.bandNames.push_back(name != nullptr && *name != '\0' ? name
                                                               : "Band " + std::to_string(k + 1));
    }
    d.layout = LayoutOf(dataset, bands.front());
    d.geo = GeoreferenceOf(dataset);
    int hasNoData = 0;
    const double noData = dataset.GetRasterBand(bands.front())->GetNoDataValue(&hasNoData);
    if (hasNoData != 0) d.noData = noData;
    d.maskBand = HasMaskBand(dataset, bands);
    d.availableRows = d.height;
    TakeGdalError();
    return d;
}

}  // namespace

std::unique_ptr<RasterSource> OpenGdalSource(const std::string& path, std::string& error)
{
    PrepareGdal();
    TakeGdalError();
    const std::string ext = ExtensionLower(path);
    if ((ext == "jp2" || ext == "j2k" || ext == "jpx") && !CheckJpeg2000Structure(path, error))
        return nullptr;
    const std::vector<const char*> drivers = DriversFor(path);
    DatasetPtr dataset(GDALDataset::Open(path.c_str(),
                                         GDAL_OF_RASTER | GDAL_OF_READONLY | GDAL_OF_VERBOSE_ERROR,
                                         drivers.data(), nullptr, nullptr));
    if (!dataset) {
        error = WithGdalText("GDAL cannot read " + path, path);
        return nullptr;
    }
    const std::vector<int> bands = DataBands(*dataset);
    const std::int64_t bandCount = static_cast<std::int64_t>(bands.size());
    if (!CheckImageSize(dataset->GetRasterXSize(), dataset->GetRasterYSize(), bandCount, error)) {
        error = path + ": " + error;
        return nullptr;
    }
    SampleType type = SampleType::UInt8;
    if (!CommonType(*dataset, bands, path, type, error)) return nullptr;
    if (!CheckBlocks(*dataset, bands, path, error)) return nullptr;
    RasterDescription d = Describe(*dataset, bands, path, type);
    const int alpha = AlphaBand(*dataset, bands);
    if (alpha != 0) d.maskBand = true;
    return std::make_unique<GdalSource>(std::move(dataset), bands, alpha, std::move(d));
}

}  // namespace lumesta
