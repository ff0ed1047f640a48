#include "raster/output/gdal_dataset.h"

#include <cpl_string.h>
#include <ogr_srs_api.h>

#include "raster/output/gdal_library.h"

namespace lumesta {

GdalOptions::~GdalOptions()
{
    CSLDestroy(m_list);
}

GdalOptions& GdalOptions::Set(const char* key, const std::string& value)
{
    m_list = CSLSetNameValue(m_list, key, value.c_str());
    return *this;
}

GDALDataType GdalTypeOf(SampleType type)
{
    switch (type) {
        case SampleType::UInt8:
            return GDT_Byte;
        case SampleType::UInt16:
            return GDT_UInt16;
        case SampleType::Int16:
            return GDT_Int16;
        default:
            return GDT_Float32;
    }
}

void DescribeDataset(GDALDatasetH dataset, const BandFileSpec& spec)
{
    for (int k = 0; k < spec.bands; ++k) {
        GDALRasterBandH band = GDALGetRasterBand(dataset, k + 1);
        if (!spec.bandNames.empty())
            GDALSetDescription(band, spec.bandNames[static_cast<std::size_t>(k)].c_str());
        if (spec.noData) GDALSetRasterNoDataValue(band, *spec.noData);
    }
    const Georeference& geo = spec.geo;
    if (!geo.valid) return;
    double transform[6] = {geo.originX, geo.pixelWidth,  geo.rowSkewX,
                           geo.originY, geo.columnSkewY, geo.pixelHeight};
    GDALSetGeoTransform(dataset, transform);
    const std::string wkt = CrsWktOf(geo);
    if (wkt.empty()) return;
    OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
    if (OSRSetFromUserInput(srs, wkt.c_str()) == OGRERR_NONE) {
        OSRSetAxisMappingStrategy(srs, OAMS_TRADITIONAL_GIS_ORDER);
        GDALSetSpatialRef(dataset, srs);
    }
    OSRDestroySpatialReference(srs);
}

}  // namespace lumesta
