#include "raster/output/cog_writer.h"

#include <cpl_conv.h>
#include <cpl_string.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "raster/output/gdal_dataset.h"
#include "raster/output/gdal_library.h"
#include "raster/output/overview_pyramid.h"
#include "raster/sample_convert.h"

namespace lumesta {
namespace {

constexpr int kCogTile = 512;

// The temporary images are tiled 512 × 16, uncompressed: a tile is whole once 16 rows have
// arrived, so GDAL's cache never writes a tile out part-filled to read it back later, and the
// copy reads each COG tile from whole tiles of its own columns.
constexpr int kTemporaryTileRows = 16;

// On imagery the higher levels of Deflate gain at most a few per cent of the size for two to ten
// times the time (11-bit scenes, generated and real).
constexpr int kDeflateLevel = 1;

// Overviews halve the image until its longer side is under a tile: the smallest of them then
// fits in one tile. They are made here while the rows stream in (GDAL's own overview building
// holds buffers that grow with the number of levels).
int OverviewCount(int width, int height)
{
    const std::int64_t side = std::max(width, height);
    int count = 0;
    while ((side + (std::int64_t{1} << count) - 1) >> count >= kCogTile) ++count;
    return count;
}

std::string Xml(const std::string& text)
{
    char* escaped = CPLEscapeString(text.c_str(), -1, CPLES_XML);
    std::string result = escaped;
    CPLFree(escaped);
    return result;
}

std::string SourceXml(const char* element, const std::string& path, int band)
{
    return std::string("<") + element + "><SourceFilename relativeToVRT=\"0\">" + Xml(path) +
           "</SourceFilename><SourceBand>" + std::to_string(band) + "</SourceBand></" + element +
           ">";
}

// A virtual dataset of the result: level 0 as its bands, the other levels as their overviews.
std::string VirtualDataset(const BandFileSpec& spec, const std::vector<std::string>& levels)
{
    std::string xml = "<VRTDataset rasterXSize=\"" + std::to_string(spec.width) +
                      "\" rasterYSize=\"" + std::to_string(spec.height) + "\">";
    const Georeference& geo = spec.geo;
    if (geo.valid) {
        const std::string wkt = CrsWktOf(geo);
        if (!wkt.empty()) xml += "<SRS>" + Xml(wkt) + "</SRS>";
        xml += "<GeoTransform>" + ExactNumberText(geo.originX) + "," +
               ExactNumberText(geo.pixelWidth) + "," + ExactNumberText(geo.rowSkewX) + "," +
               ExactNumberText(geo.originY) + "," + ExactNumberText(geo.columnSkewY) + "," +
               ExactNumberText(geo.pixelHeight) + "</GeoTransform>";
    }
    for (int k = 1; k <= spec.bands; ++k) {
        xml += "<VRTRasterBand dataType=\"" +
               std::string(GDALGetDataTypeName(GdalTypeOf(spec.type))) + "\" band=\"" +
               std::to_string(k) + "\">";
        if (!spec.bandNames.empty())
            xml += "<Description>" + Xml(spec.bandNames[static_cast<std::size_t>(k - 1)]) +
                   "</Description>";
        if (spec.noData) xml += "<NoDataValue>" + ExactNumberText(*spec.noData) + "</NoDataValue>";
        xml += SourceXml("SimpleSource", levels[0], k);
        for (std::size_t level = 1; level < levels.size(); ++level)
            xml += SourceXml("Overview", levels[level], k);
        xml += "</VRTRasterBand>";
    }
    return xml + "</VRTDataset>";
}

int Progress(double, const char*, void* data)
{
    return (*static_cast<std::function<bool()>*>(data))() ? TRUE : FALSE;
}

class CogWriter : public BandFileWriter {
public:
    CogWriter(const BandFileSpec& spec, std::string path, const std::string& shownPath, Host& host)
        : BandFileWriter(spec, shownPath, host), m_path(std::move(path))
    {
    }
    ~CogWriter() override
    {
        m_pyramid.reset();
        m_levels.clear();
    }

    bool Open()
    {
        UseGdal();
        ClearGdalFailure();
        const int count = OverviewCount(m_spec.width, m_spec.height);
        for (int level = 0; level <= count; ++level) {
            if (!CreateLevel(OverviewPyramid::LevelSide(m_spec.width, level),
                             OverviewPyramid::LevelSide(m_spec.height, level))) {
                return false;
            }
        }
        if (count == 0) return true;
        m_rowValues.assign(static_cast<std::size_t>(m_spec.bands),
                           std::vector<double>(static_cast<std::size_t>(m_spec.width)));
        m_pyramid = std::make_unique<OverviewPyramid>(
            m_spec.width, m_spec.height, m_spec.bands, count, m_spec.type != SampleType::Float32,
            m_spec.noData,
            [this](int level, int row, const std::vector<std::vector<double>>& bands) {
                return WriteOverviewRow(level, row, bands);
            });
        return true;
    }

    RunOutcome Finish(const std::function<bool()>& keepGoing) override
    {
        if (!CheckComplete()) return RunOutcome::Stopped;
        ClearGdalFailure();
        m_pyramid.reset();
        m_levels.clear();
        if (!LastGdalFailure().empty()) return Stop();
        const RunOutcome outcome = CopyToCog(keepGoing);
        m_temps.RemoveNow();
        return outcome;
    }

protected:
    bool WriteStrip(const void* const* bands, int rows) override
    {
        ClearGdalFailure();
        for (int k = 0; k < m_spec.bands; ++k) {
            if (GDALRasterIO(GDALGetRasterBand(m_levels[0].get(), k + 1), GF_Write, 0,
                             m_rowsWritten, m_spec.width, rows, const_cast<void*>(bands[k]),
                             m_spec.width, rows, GdalTypeOf(m_spec.type), 0, 0) != CE_None) {
                return Fail({});
            }
        }
        if (m_pyramid && !FeedPyramid(bands, rows)) return false;
        m_unflushed += static_cast<std::int64_t>(rows) * m_spec.width * m_spec.bands *
                       SampleBytes(m_spec.type);
        if (m_unflushed < kGdalFlushBytes) return true;
        m_unflushed = 0;
        for (const DatasetPtr& level : m_levels) GDALFlushCache(level.get());
        return LastGdalFailure().empty() || Fail({});
    }

private:
    RunOutcome Stop()
    {
        Fail({});
        return RunOutcome::Stopped;
    }

    bool CreateLevel(int width, int height)
    {
        const std::string path = m_temps.CreateTemp(m_path);
        if (path.empty()) return Fail({});
        GdalOptions options;
        options.Set("INTERLEAVE", "BAND")
            .Set("PHOTOMETRIC", "MINISBLACK")
            .Set("TILED", "YES")
            .Set("BLOCKXSIZE", std::to_string(kCogTile))
            .Set("BLOCKYSIZE", std::to_string(kTemporaryTileRows))
            .Set("BIGTIFF", "IF_NEEDED");
        m_levels.emplace_back(GDALCreate(GDALGetDriverByName("GTiff"), path.c_str(), width, height,
                                         m_spec.bands, GdalTypeOf(m_spec.type), options.List()));
        m_levelPaths.push_back(path);
        return m_levels.back() != nullptr || Fail({});
    }

    bool FeedPyramid(const void* const* bands, int rows)
    {
        const int size = SampleBytes(m_spec.type);
        std::vector<const double*> pointers;
        for (const auto& band : m_rowValues) pointers.push_back(band.data());
        for (int y = 0; y < rows; ++y) {
            for (int k = 0; k < m_spec.bands; ++k) {
                const auto* row = static_cast<const std::uint8_t*>(bands[k]) +
                                  static_cast<std::size_t>(y) * m_spec.width * size;
                double* values = m_rowValues[static_cast<std::size_t>(k)].data();
                for (int x = 0; x < m_spec.width; ++x)
                    values[x] =
                        SampleValue(row + static_cast<std::size_t>(x) * size, m_spec.type, false);
            }
            if (!m_pyramid->AddRow(pointers.data())) return false;
        }
        return true;
    }

    bool WriteOverviewRow(int level, int row, const std::vector<std::vector<double>>& bands)
    {
        for (int k = 0; k < m_spec.bands; ++k) {
            const std::vector<double>& values = bands[static_cast<std::size_t>(k)];
            const int width = static_cast<int>(values.size());
            if (GDALRasterIO(
                    GDALGetRasterBand(m_levels[static_cast<std::size_t>(level)].get(), k + 1),
                    GF_Write, 0, row, width, 1, const_cast<double*>(values.data()), width, 1,
                    GDT_Float64, 0, 0) != CE_None) {
                return Fail({});
            }
        }
        return true;
    }

    RunOutcome CopyToCog(const std::function<bool()>& keepGoing)
    {
        const DatasetPtr source(
            GDALOpen(VirtualDataset(m_spec, m_levelPaths).c_str(), GA_ReadOnly));
        if (!source) return Stop();
        const char* predictor = m_spec.type == SampleType::Float32 ? "FLOATING_POINT" : "STANDARD";
        GdalOptions options;
        options.Set("BLOCKSIZE", std::to_string(kCogTile))
            .Set("COMPRESS", "DEFLATE")
            .Set("LEVEL", std::to_string(kDeflateLevel))
            .Set("PREDICTOR", predictor)
            .Set("OVERVIEW_COMPRESS", "DEFLATE")
            .Set("OVERVIEW_PREDICTOR", predictor)
            .Set("OVERVIEWS", m_levelPaths.size() > 1 ? "FORCE_USE_EXISTING" : "NONE")
            .Set("NUM_THREADS", std::to_string(std::max(m_spec.threads, 1)))
            .Set("BIGTIFF", "IF_SAFER");
        bool cancelled = false;
        std::function<bool()> watch = [&] {
            cancelled = keepGoing && !keepGoing();
            return !cancelled;
        };
        ClearGdalFailure();
        DatasetPtr copy(GDALCreateCopy(GDALGetDriverByName("COG"), m_path.c_str(), source.get(),
                                       FALSE, options.List(), Progress, &watch));
        if (cancelled) return RunOutcome::Cancelled;
        if (!copy) return Stop();
        copy.reset();
        return LastGdalFailure().empty() ? RunOutcome::Finished : Stop();
    }

    std::string m_path;
    RunFiles m_temps;  // the levels' files
    std::vector<std::string> m_levelPaths;
    std::vector<DatasetPtr> m_levels;  // closed before their files are removed
    std::unique_ptr<OverviewPyramid> m_pyramid;
    std::vector<std::vector<double>> m_rowValues;  // one row of every band, for the pyramid
    std::int64_t m_unflushed = 0;                  // bytes written since the last flush
};

}  // namespace

std::unique_ptr<BandFileWriter> OpenCogWriter(const BandFileSpec& spec, const std::string& path,
                                              const std::string& shownPath, Host& host)
{
    auto writer = std::make_unique<CogWriter>(spec, path, shownPath, host);
    if (!writer->Open()) return nullptr;
    return writer;
}

}  // namespace lumesta
