#include "raster/gdal/gdal_geotiff_write.h"

#include <gdal_priv.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#include "core/allocate.h"
#include "raster/gdal/gdal_setup.h"
#include "raster/raw_file.h"

namespace lumesta {
namespace {

const std::string kWritingFailed = "Error with GeoTIFF writing.\n";
// Rows copied per RasterIO call: a strip of plane rows, about this many bytes.
constexpr std::int64_t kStripBytes = std::int64_t{4} << 20;

struct DatasetCloser {
    void operator()(GDALDataset* dataset) const { GDALClose(dataset); }
};
using DatasetPtr = std::unique_ptr<GDALDataset, DatasetCloser>;

bool Failed(Host& host)
{
    host.ShowMessage(kWritingFailed);
    return false;
}

bool NamesSameFile(const std::string& first, const std::string& second)
{
    std::error_code error;
    return std::filesystem::equivalent(first, second, error);
}

// The output's 16-bit type follows the reference's signedness.
GDALDataType OutputType(GDALDataset& reference, int bytesPerSample)
{
    if (bytesPerSample == 1) return GDT_Byte;
    const bool signedSamples = reference.GetRasterCount() > 0 &&
                               reference.GetRasterBand(1)->GetRasterDataType() == GDT_Int16;
    return signedSamples ? GDT_Int16 : GDT_UInt16;
}

DatasetPtr CreateOutput(GDALDataset& reference, const std::string& outputPath, int planes,
                        GDALDataType type)
{
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GTiff");
    if (driver == nullptr) return nullptr;
    const char* const options[] = {
        "TILED=YES",       "BLOCKXSIZE=256", "BLOCKYSIZE=256",   "INTERLEAVE=BAND",
        "PHOTOMETRIC=RGB", "ALPHA=NO",       "BIGTIFF=IF_SAFER", nullptr};
    DatasetPtr output(driver->Create(outputPath.c_str(), reference.GetRasterXSize(),
                                     reference.GetRasterYSize(), planes, type,
                                     const_cast<char**>(options)));
    if (!output) return nullptr;
    double transform[6] = {0, 1, 0, 0, 0, 1};
    if (reference.GetGeoTransform(transform) == CE_None) output->SetGeoTransform(transform);
    if (const OGRSpatialReference* srs = reference.GetSpatialRef()) output->SetSpatialRef(srs);
    return output;
}

// Copies every plane file into its band, a strip of rows at a time; false after the message.
bool CopyPlanes(GDALDataset& output, const std::vector<std::string>& planes, int bytesPerSample,
                Host& host)
{
    const std::int64_t width = output.GetRasterXSize();
    const std::int64_t height = output.GetRasterYSize();
    const std::int64_t rowBytes = width * bytesPerSample;
    const std::int64_t rows = std::clamp<std::int64_t>(kStripBytes / rowBytes, 1, height);
    std::vector<std::uint8_t> strip;
    if (!TryAllocate(strip, rows * rowBytes, host, kWritingFailed)) return false;
    const GDALDataType type = output.GetRasterBand(1)->GetRasterDataType();
    auto progress = host.OpenProgress("Writing GeoTIFF imagery ...", ProgressOwner::Window);
    progress->SetRange(0, 100, 1);
    progress->SetStatusText("Press Cancel to stop ...\n\n");
    const std::int64_t total = static_cast<std::int64_t>(planes.size()) * height;
    for (std::size_t p = 0; p < planes.size(); ++p) {
        RawFile file;
        if (!file.OpenForReading(planes[p])) return Failed(host);
        for (std::int64_t y = 0; y < height; y += rows) {
            progress->SetPosition(
                static_cast<int>((static_cast<std::int64_t>(p) * height + y) * 100 / total));
            progress->PumpMessages(true);
            if (progress->IsCancelled()) return Failed(host);
            const std::int64_t count = std::min(rows, height - y);
            const std::int64_t bytes = count * rowBytes;
            if (file.ReadAt(y * rowBytes, bytes, strip.data()) != bytes) return Failed(host);
            // Plane files are little-endian; GDAL takes the machine's order.
            if (bytesPerSample == 2 && CPL_IS_LSB == 0)
                GDALSwapWords(strip.data(), 2, bytes / 2, 2);
            if (output.GetRasterBand(static_cast<int>(p) + 1)
                    ->RasterIO(GF_Write, 0, static_cast<int>(y), static_cast<int>(width),
                               static_cast<int>(count), strip.data(), static_cast<int>(width),
                               static_cast<int>(count), type, 0, 0) != CE_None) {
                return Failed(host);
            }
        }
    }
    return true;
}

}  // namespace

int WriteGeoTiffThroughGdal(const std::string& referencePath, const std::string& outputPath,
                            const std::vector<std::string>& planes, int bytesPerSample, Host& host,
                            std::optional<double> noData)
{
    PrepareGdal();
    DatasetPtr reference(GDALDataset::Open(referencePath.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY,
                                           nullptr, nullptr, nullptr));
    bool acceptable = reference != nullptr && (bytesPerSample == 1 || bytesPerSample == 2) &&
                      !planes.empty() && !NamesSameFile(referencePath, outputPath);
    for (const std::string& plane : planes)
        acceptable = acceptable && !NamesSameFile(plane, outputPath);
    TakeGdalError();
    if (!acceptable) {
        Failed(host);
        return 0;
    }
    const int planeCount = static_cast<int>(planes.size());
    bool written = false;
    {
        DatasetPtr output = CreateOutput(*reference, outputPath, planeCount,
                                         OutputType(*reference, bytesPerSample));
        for (int band = 1; output && noData && band <= planeCount; ++band)
            output->GetRasterBand(band)->SetNoDataValue(*noData);
        written = output && CopyPlanes(*output, planes, bytesPerSample, host);
        if (output && written) {
            output->FlushCache();
            written = CPLGetLastErrorType() != CE_Failure || Failed(host);
        }
        if (!output) Failed(host);
        TakeGdalError();
    }
    // Closing writes the last blocks: a failure there is a failed write too.
    if (written && CPLGetLastErrorType() == CE_Failure) written = Failed(host);
    TakeGdalError();
    if (written) return 1;
    std::remove(outputPath.c_str());  // a partial GeoTIFF must not pass for a result
    return 0;
}

}  // namespace lumesta
