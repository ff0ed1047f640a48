#pragma once
// The pieces the GDAL-backed writers share: datasets closed by their owner, option lists, the
// GDAL type of a sample type, and a result's description (band names, no data, georeferencing)
// set on a dataset.

#include <gdal.h>

#include <cstdint>
#include <memory>
#include <string>

#include "raster/output/band_file_writer.h"

namespace lumesta {

struct DatasetCloser {
    void operator()(void* dataset) const { GDALClose(dataset); }
};
using DatasetPtr = std::unique_ptr<void, DatasetCloser>;

// GDAL's name=value options as a list it owns; freed with the object.
class GdalOptions {
public:
    GdalOptions() = default;
    GdalOptions(const GdalOptions&) = delete;
    GdalOptions& operator=(const GdalOptions&) = delete;
    ~GdalOptions();
    GdalOptions& Set(const char* key, const std::string& value);
    char** List() const { return m_list; }

private:
    char** m_list = nullptr;
};

// Bytes a writer hands GDAL between two flushes of the dataset's blocks: flushed blocks leave
// GDAL's cache, so a writer holds at most this much there whatever the image's size.
inline constexpr std::int64_t kGdalFlushBytes = std::int64_t{2} << 20;

// UInt8, UInt16, Int16, Float32 as GDAL names them.
GDALDataType GdalTypeOf(SampleType type);

// Sets spec's band names, no-data value, geotransform and coordinate system on dataset.
void DescribeDataset(GDALDatasetH dataset, const BandFileSpec& spec);

}  // namespace lumesta
