#include "tests/support/geotiff_builder.h"

#include <geo_normalize.h>
#include <geotiff.h>
#include <geovalues.h>
#include <stdexcept>
#include <xtiffio.h>

namespace lumesta::testing {
namespace {

void Georeference(TIFF* tiff)
{
    const double tiepoints[6] = {0, 0, 0, 500000, 4500000, 0};
    const double scale[3] = {0.5, 0.5, 0};
    TIFFSetField(tiff, TIFFTAG_GEOTIEPOINTS, 6, tiepoints);
    TIFFSetField(tiff, TIFFTAG_GEOPIXELSCALE, 3, scale);
    GTIF* gtif = GTIFNew(tiff);
    GTIFKeySet(gtif, GTModelTypeGeoKey, TYPE_SHORT, 1, ModelTypeProjected);
    GTIFKeySet(gtif, GTRasterTypeGeoKey, TYPE_SHORT, 1, RasterPixelIsArea);
    GTIFKeySet(gtif, ProjectedCSTypeGeoKey, TYPE_SHORT, 1, PCS_WGS84_UTM_zone_18N);
    GTIFWriteKeys(gtif);
    GTIFFree(gtif);
}

template <typename T>
void Write(const std::string& path, int width, int height, const std::vector<std::vector<T>>& bands,
           bool isSigned, int compression)
{
    TIFF* tiff = XTIFFOpen(path.c_str(), "w");
    if (!tiff) throw std::runtime_error("cannot create " + path);
    const auto samples = static_cast<std::uint16_t>(bands.size());
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(width));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(height));
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, static_cast<std::uint16_t>(8 * sizeof(T)));
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(tiff, TIFFTAG_SAMPLEFORMAT, isSigned ? SAMPLEFORMAT_INT : SAMPLEFORMAT_UINT);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, samples > 1 ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 7u);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, compression);
    if (samples > 1) {
        std::vector<std::uint16_t> extra(samples - 1u, EXTRASAMPLE_UNSPECIFIED);
        TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, static_cast<std::uint16_t>(extra.size()), extra.data());
    }
    Georeference(tiff);
    for (std::uint16_t plane = 0; plane < samples; ++plane) {
        for (int y = 0; y < height; ++y) {
            std::vector<T> row(bands[plane].begin() + static_cast<long>(y) * width,
                               bands[plane].begin() + static_cast<long>(y + 1) * width);
            TIFFWriteScanline(tiff, row.data(), static_cast<std::uint32_t>(y), plane);
        }
    }
    XTIFFClose(tiff);
}

}  // namespace

void WriteGeoTiff16(const std::string& path, int width, int height,
                    const std::vector<std::vector<std::int16_t>>& bands)
{
    Write(path, width, height, bands, true, COMPRESSION_ADOBE_DEFLATE);
}

void WriteGeoTiff8(const std::string& path, int width, int height, const std::vector<std::uint8_t>& band)
{
    Write<std::uint8_t>(path, width, height, {band}, false, COMPRESSION_NONE);
}

}  // namespace lumesta::testing
