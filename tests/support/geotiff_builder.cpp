#include "tests/support/geotiff_builder.h"

#include <geo_normalize.h>
#include <geotiff.h>
#include <geovalues.h>
#include <stdexcept>
#include <unistd.h>
#include <xtiffio.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace lumesta::testing {
namespace {

int FormatOf(const TiffSpec& spec)
{
    if (spec.format != 0) return spec.format;
    return spec.bits == 16 ? SAMPLEFORMAT_INT : SAMPLEFORMAT_UINT;
}

void Georeference(TIFF* tiff)
{
    const double tiepoints[6] = {0, 0, 0, 500000, 4500000, 0};
    const double scale[3] = {2, 2, 0};
    TIFFSetField(tiff, TIFFTAG_GEOTIEPOINTS, 6, tiepoints);
    TIFFSetField(tiff, TIFFTAG_GEOPIXELSCALE, 3, scale);
    GTIF* gtif = GTIFNew(tiff);
    GTIFKeySet(gtif, GTModelTypeGeoKey, TYPE_SHORT, 1, ModelTypeProjected);
    GTIFKeySet(gtif, GTRasterTypeGeoKey, TYPE_SHORT, 1, RasterPixelIsArea);
    GTIFKeySet(gtif, ProjectedCSTypeGeoKey, TYPE_SHORT, 1, PCS_WGS84_UTM_zone_18N);
    GTIFKeySet(gtif, GTCitationGeoKey, TYPE_ASCII, 0, "WGS 84 / UTM zone 18N");
    GTIFWriteKeys(gtif);
    GTIFFree(gtif);
}

void WriteImage(TIFF* tiff, const TiffSpec& spec, const SampleAt& sample)
{
    const bool separate = spec.planar == PLANARCONFIG_SEPARATE;
    const std::uint32_t stepX = spec.tile ? spec.tile : spec.width;
    const std::uint32_t stepY = spec.tile ? spec.tile : spec.rowsPerStrip;
    for (int plane = 0; plane < (separate ? spec.samples : 1); ++plane) {
        std::vector<int> bands{plane};
        for (int band = 1; !separate && band < spec.samples; ++band) bands.push_back(band);
        const auto p = static_cast<std::uint16_t>(plane);
        for (std::uint32_t y = 0; y < spec.height; y += stepY) {
            for (std::uint32_t x = 0; x < spec.width; x += stepX) {
                const std::uint32_t rows = spec.tile ? stepY : std::min(stepY, spec.height - y);
                auto block = TiffBlock(spec, sample, bands, x, y, stepX, rows);
                const auto size = static_cast<tmsize_t>(block.size());
                if (spec.tile)
                    TIFFWriteTile(tiff, block.data(), x, y, 0, p);
                else if (spec.shortStrips)
                    TIFFWriteRawStrip(tiff, TIFFComputeStrip(tiff, y, p), block.data(), size / 2);
                else
                    TIFFWriteEncodedStrip(tiff, TIFFComputeStrip(tiff, y, p), block.data(), size);
            }
        }
    }
}

}  // namespace

std::vector<std::uint8_t> TiffBlock(const TiffSpec& spec, const SampleAt& sample,
                                    const std::vector<int>& bands, std::uint32_t x0,
                                    std::uint32_t y0, std::uint32_t columns, std::uint32_t rows)
{
    std::vector<std::uint8_t> out;
    for (std::uint32_t y = y0; y < y0 + rows; ++y) {
        for (std::uint32_t x = x0; x < x0 + columns; ++x) {
            for (int band : bands) {
                const bool inside = x < spec.width && y < spec.height;
                const int value = inside ? sample(band, x, y) : 0;
                const std::size_t at = out.size();
                out.resize(at + spec.bits / 8);
                const auto put = [&](auto typed) { std::memcpy(&out[at], &typed, sizeof typed); };
                if (FormatOf(spec) == SAMPLEFORMAT_IEEEFP && spec.bits == 32)
                    put(static_cast<float>(value));
                else if (FormatOf(spec) == SAMPLEFORMAT_IEEEFP)
                    put(static_cast<double>(value));
                else if (spec.bits == 8)
                    put(static_cast<std::uint8_t>(value));
                else if (spec.bits == 16)
                    put(static_cast<std::uint16_t>(value));
                else if (spec.bits == 32)
                    put(static_cast<std::uint32_t>(value));
                else
                    put(static_cast<std::int64_t>(value));
            }
        }
    }
    return out;
}

void WriteTestTiff(const std::string& path, const TiffSpec& spec, const SampleAt& sample)
{
    TIFF* tiff = XTIFFOpen(path.c_str(), "w");
    if (!tiff) throw std::runtime_error("cannot create " + path);
    for (int directory = 0; directory < spec.directories; ++directory) {
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, spec.width);
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, spec.height);
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, spec.bits);
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, spec.samples);
        TIFFSetField(tiff, TIFFTAG_SAMPLEFORMAT, FormatOf(spec));
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
        TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, spec.planar);
        TIFFSetField(tiff, TIFFTAG_COMPRESSION, spec.compression);
        if (spec.compression != COMPRESSION_NONE) TIFFSetField(tiff, TIFFTAG_PREDICTOR, 2);
        if (spec.samples > 1) {
            std::vector<std::uint16_t> extra(spec.samples - 1u, EXTRASAMPLE_UNSPECIFIED);
            TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, static_cast<std::uint16_t>(extra.size()),
                         extra.data());
        }
        if (spec.tile) {
            TIFFSetField(tiff, TIFFTAG_TILEWIDTH, spec.tile);
            TIFFSetField(tiff, TIFFTAG_TILELENGTH, spec.tile);
        } else {
            TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, spec.rowsPerStrip);
        }
        TIFFSetField(tiff, TIFFTAG_SOFTWARE, "test scene");
        TIFFSetField(tiff, TIFFTAG_XRESOLUTION, 72.0);
        TIFFSetField(tiff, TIFFTAG_PAGENUMBER, 1, 2);
        TIFFSetField(tiff, TIFFTAG_IMAGEDESCRIPTION, "replaced by the band list");
        Georeference(tiff);
        WriteImage(tiff, spec, sample);
        TIFFWriteDirectory(tiff);
    }
    XTIFFClose(tiff);
}

void WriteGeoTiff16(const std::string& path, int width, int height,
                    const std::vector<std::vector<std::int16_t>>& bands)
{
    TiffSpec spec{static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height)};
    spec.samples = static_cast<int>(bands.size());
    spec.planar = bands.size() > 1 ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG;
    spec.rowsPerStrip = 7;
    spec.compression = COMPRESSION_ADOBE_DEFLATE;
    WriteTestTiff(path, spec, [&](int band, std::uint32_t x, std::uint32_t y) {
        return bands[band][static_cast<std::size_t>(y) * width + x];
    });
}

void WriteGeoTiff8(const std::string& path, int width, int height, const std::vector<std::uint8_t>& band)
{
    TiffSpec spec{static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height), 8};
    spec.rowsPerStrip = 7;
    WriteTestTiff(path, spec, [&](int, std::uint32_t x, std::uint32_t y) {
        return band[static_cast<std::size_t>(y) * width + x];
    });
}

std::string CraftedTiff(const std::vector<CraftedTag>& tags, std::size_t dataBytes)
{
    std::string bytes("II*\0\x08\0\0\0", 8);
    auto put16 = [&bytes](std::uint32_t v) {
        bytes.append({char(v & 0xff), char((v >> 8) & 0xff)});
    };
    auto put32 = [&](std::uint32_t v) {
        put16(v & 0xffff);
        put16(v >> 16);
    };
    put16(static_cast<std::uint32_t>(tags.size()));
    for (const CraftedTag& entry : tags) {
        put16(entry.tag);
        put16(entry.type);
        put32(1);
        if (entry.type == 3) {
            put16(entry.value);
            put16(0);
        } else {
            put32(entry.value);
        }
    }
    put32(0);
    return bytes + std::string(dataBytes, '\x11');
}

std::string CraftedStripTiff(std::uint32_t width, std::uint32_t height, std::uint32_t byteCount,
                             std::uint16_t compression)
{
    return CraftedTiff({{256, 4, width},
                        {257, 4, height},
                        {258, 3, 16},
                        {259, 3, compression},
                        {262, 3, 1},
                        {273, 4, CraftedDataOffset(9)},
                        {277, 3, 1},
                        {278, 4, height},
                        {279, 4, byteCount}},
                       16);
}

std::string CogValidatorVerdict(const std::string& path)
{
    const char* kValidator =
        "/usr/lib/python3/dist-packages/osgeo_utils/samples/validate_cloud_optimized_geotiff.py";
    if (::access(kValidator, R_OK) != 0 || ::access("/usr/bin/python3", X_OK) != 0) return {};
    std::string verdict;
    FILE* pipe = popen(("/usr/bin/python3 " + std::string(kValidator) + " -q --full-check=yes '" +
                        path + "' 2>&1; echo $?")
                           .c_str(),
                       "r");
    char buffer[512];
    while (pipe != nullptr && std::fgets(buffer, sizeof buffer, pipe) != nullptr) verdict += buffer;
    if (pipe != nullptr) pclose(pipe);
    return verdict;
}

}  // namespace lumesta::testing
