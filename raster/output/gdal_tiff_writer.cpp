#include "raster/output/gdal_tiff_writer.h"

#include "raster/output/gdal_dataset.h"
#include "raster/output/gdal_library.h"

namespace lumesta {
namespace {

class GdalTiffWriter : public BandFileWriter {
public:
    GdalTiffWriter(const BandFileSpec& spec, const std::string& shownPath, Host& host)
        : BandFileWriter(spec, shownPath, host)
    {
    }

    bool Open(const std::string& path)
    {
        UseGdal();
        ClearGdalFailure();
        GdalOptions options;
        options.Set("INTERLEAVE", "BAND")
            .Set("PHOTOMETRIC", "MINISBLACK")
            .Set("BIGTIFF", "IF_NEEDED");
        m_dataset.reset(GDALCreate(GDALGetDriverByName("GTiff"), path.c_str(), m_spec.width,
                                   m_spec.height, m_spec.bands, GdalTypeOf(m_spec.type),
                                   options.List()));
        if (!m_dataset) return Fail({});
        DescribeDataset(m_dataset.get(), m_spec);
        return LastGdalFailure().empty() || Fail({});
    }

    RunOutcome Finish(const std::function<bool()>&) override
    {
        if (!CheckComplete()) return RunOutcome::Stopped;
        ClearGdalFailure();
        m_dataset.reset();
        if (LastGdalFailure().empty()) return RunOutcome::Finished;
        Fail({});
        return RunOutcome::Stopped;
    }

protected:
    bool WriteStrip(const void* const* bands, int rows) override
    {
        ClearGdalFailure();
        for (int k = 0; k < m_spec.bands; ++k) {
            if (GDALRasterIO(GDALGetRasterBand(m_dataset.get(), k + 1), GF_Write, 0, m_rowsWritten,
                             m_spec.width, rows, const_cast<void*>(bands[k]), m_spec.width, rows,
                             GdalTypeOf(m_spec.type), 0, 0) != CE_None) {
                return Fail({});
            }
        }
        m_unflushed += static_cast<std::int64_t>(rows) * m_spec.width * m_spec.bands *
                       SampleBytes(m_spec.type);
        if (m_unflushed < kGdalFlushBytes) return true;
        m_unflushed = 0;
        GDALFlushCache(m_dataset.get());
        return LastGdalFailure().empty() || Fail({});
    }

private:
    DatasetPtr m_dataset;
    std::int64_t m_unflushed = 0;  // bytes written since the last flush
};

}  // namespace

std::unique_ptr<BandFileWriter> OpenGdalTiffWriter(const BandFileSpec& spec,
                                                   const std::string& path,
                                                   const std::string& shownPath, Host& host)
{
    auto writer = std::make_unique<GdalTiffWriter>(spec, shownPath, host);
    if (!writer->Open(path)) return nullptr;
    return writer;
}

}  // namespace lumesta
