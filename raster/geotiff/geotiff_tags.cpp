#include "raster/geotiff/geotiff_tags.h"

#include <geotiff.h>
#include <xtiffio.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace lumesta {
namespace {

// A descriptive tag with its value count (-1: variable) and TIFF type.
struct DescriptiveTag {
    std::uint32_t tag;
    int count;
    TIFFDataType type;
};

constexpr DescriptiveTag kDescriptiveTags[] = {
    {TIFFTAG_SUBFILETYPE, 1, TIFF_LONG},
    {TIFFTAG_THRESHHOLDING, 1, TIFF_SHORT},
    {TIFFTAG_DOCUMENTNAME, 1, TIFF_ASCII},
    {TIFFTAG_IMAGEDESCRIPTION, 1, TIFF_ASCII},
    {TIFFTAG_MAKE, 1, TIFF_ASCII},
    {TIFFTAG_MODEL, 1, TIFF_ASCII},
    {TIFFTAG_ORIENTATION, 1, TIFF_SHORT},
    {TIFFTAG_MINSAMPLEVALUE, 1, TIFF_SHORT},
    {TIFFTAG_MAXSAMPLEVALUE, 1, TIFF_SHORT},
    {TIFFTAG_XRESOLUTION, 1, TIFF_RATIONAL},
    {TIFFTAG_YRESOLUTION, 1, TIFF_RATIONAL},
    {TIFFTAG_PAGENAME, 1, TIFF_ASCII},
    {TIFFTAG_XPOSITION, 1, TIFF_RATIONAL},
    {TIFFTAG_YPOSITION, 1, TIFF_RATIONAL},
    {TIFFTAG_GROUP4OPTIONS, 1, TIFF_LONG},
    {TIFFTAG_RESOLUTIONUNIT, 1, TIFF_SHORT},
    {TIFFTAG_PAGENUMBER, 2, TIFF_SHORT},
    {TIFFTAG_SOFTWARE, 1, TIFF_ASCII},
    {TIFFTAG_DATETIME, 1, TIFF_ASCII},
    {TIFFTAG_ARTIST, 1, TIFF_ASCII},
    {TIFFTAG_HOSTCOMPUTER, 1, TIFF_ASCII},
    {TIFFTAG_WHITEPOINT, 2, TIFF_RATIONAL},
    {TIFFTAG_PRIMARYCHROMATICITIES, 6, TIFF_RATIONAL},
    {TIFFTAG_HALFTONEHINTS, 2, TIFF_SHORT},
    {TIFFTAG_BADFAXLINES, 1, TIFF_LONG},
    {TIFFTAG_CLEANFAXDATA, 1, TIFF_SHORT},
    {TIFFTAG_CONSECUTIVEBADFAXLINES, 1, TIFF_LONG},
    {TIFFTAG_INKSET, 1, TIFF_SHORT},
    {TIFFTAG_INKNAMES, -1, TIFF_ASCII},
    {TIFFTAG_DOTRANGE, 2, TIFF_SHORT},
    {TIFFTAG_TARGETPRINTER, 1, TIFF_ASCII},
    {TIFFTAG_SAMPLEFORMAT, 1, TIFF_SHORT},
    {TIFFTAG_YCBCRCOEFFICIENTS, 3, TIFF_RATIONAL},
    {TIFFTAG_YCBCRSUBSAMPLING, 2, TIFF_SHORT},
    {TIFFTAG_YCBCRPOSITIONING, 1, TIFF_SHORT},
    {TIFFTAG_REFERENCEBLACKWHITE, 6, TIFF_RATIONAL},
    {TIFFTAG_EXTRASAMPLES, -1, TIFF_SHORT},
    {TIFFTAG_SMINSAMPLEVALUE, 1, TIFF_DOUBLE},
    {TIFFTAG_SMAXSAMPLEVALUE, 1, TIFF_DOUBLE},
};

// Ink names are NUL-separated strings whose total length libtiff wants when they are set; the
// number of inks it counted when reading bounds the walk.
void CopyInkNames(TIFF* input, TIFF* output)
{
    char* names = nullptr;
    std::uint16_t inks = 0;
    if (!TIFFGetField(input, TIFFTAG_INKNAMES, &names) ||
        !TIFFGetField(input, TIFFTAG_NUMBEROFINKS, &inks) || names == nullptr) {
        return;
    }
    std::size_t length = 0;
    for (std::uint16_t i = 0; i < inks; ++i) length += std::strlen(names + length) + 1;
    TIFFSetField(output, TIFFTAG_INKNAMES, static_cast<int>(length), names);
}

// RGB output: the first three samples are colours, so at most SamplesPerPixel - 3 extra ones.
void CopyExtraSamples(TIFF* input, TIFF* output)
{
    std::uint16_t count = 0;
    std::uint16_t* kinds = nullptr;
    std::uint16_t outputSamples = 0;
    if (!TIFFGetField(input, TIFFTAG_EXTRASAMPLES, &count, &kinds)) return;
    TIFFGetFieldDefaulted(output, TIFFTAG_SAMPLESPERPIXEL, &outputSamples);
    if (count + 3 <= outputSamples) TIFFSetField(output, TIFFTAG_EXTRASAMPLES, count, kinds);
}

void CopyShortTag(TIFF* input, TIFF* output, const DescriptiveTag& entry)
{
    std::uint16_t first = 0;
    std::uint16_t second = 0;
    if (entry.count == 2) {
        if (TIFFGetField(input, entry.tag, &first, &second)) {
            TIFFSetField(output, entry.tag, first, second);
        }
    } else if (TIFFGetField(input, entry.tag, &first)) {
        TIFFSetField(output, entry.tag, first);
    }
}

// Single rationals are held as float or double depending on the tag; arrays are handed from
// the input's storage to the output as libtiff keeps them.
void CopyRationalTag(TIFF* input, TIFF* output, const DescriptiveTag& entry)
{
    if (entry.count > 1) {
        void* values = nullptr;
        if (TIFFGetField(input, entry.tag, &values)) TIFFSetField(output, entry.tag, values);
        return;
    }
    const TIFFField* field = TIFFFieldWithTag(input, entry.tag);
    if (field != nullptr && TIFFFieldSetGetSize(field) == static_cast<int>(sizeof(double))) {
        double value = 0;
        if (TIFFGetField(input, entry.tag, &value)) TIFFSetField(output, entry.tag, value);
    } else {
        float value = 0;
        if (TIFFGetField(input, entry.tag, &value)) TIFFSetField(output, entry.tag, value);
    }
}

void CopyTag(TIFF* input, TIFF* output, const DescriptiveTag& entry)
{
    switch (entry.type) {
        case TIFF_LONG: {
            std::uint32_t value = 0;
            if (TIFFGetField(input, entry.tag, &value)) TIFFSetField(output, entry.tag, value);
            break;
        }
        case TIFF_SHORT:
            if (entry.tag == TIFFTAG_EXTRASAMPLES)
                CopyExtraSamples(input, output);
            else
                CopyShortTag(input, output, entry);
            break;
        case TIFF_ASCII: {
            char* text = nullptr;
            if (entry.tag == TIFFTAG_INKNAMES)
                CopyInkNames(input, output);
            else if (TIFFGetField(input, entry.tag, &text))
                TIFFSetField(output, entry.tag, text);
            break;
        }
        case TIFF_RATIONAL:
            CopyRationalTag(input, output, entry);
            break;
        case TIFF_DOUBLE: {
            double value = 0;
            if (TIFFGetField(input, entry.tag, &value)) TIFFSetField(output, entry.tag, value);
            break;
        }
        default:
            break;
    }
}

// libgeotiff would print its complaints about broken key directories on standard error.
void IgnoreGeoTiffMessage(GTIF*, int, const char*, ...) {}

struct GtifFreer {
    void operator()(GTIF* gtif) const { GTIFFree(gtif); }
};
using GtifPtr = std::unique_ptr<GTIF, GtifFreer>;

// The key numbers in the template's key directory (header of four shorts, then four shorts per
// key), bounded by the directory's real length.
std::vector<geokey_t> KeysInDirectory(TIFF* input)
{
    std::uint16_t count = 0;
    std::uint16_t* directory = nullptr;
    std::vector<geokey_t> keys;
    if (!TIFFGetField(input, TIFFTAG_GEOKEYDIRECTORY, &count, &directory) || count < 4) return keys;
    for (int i = 0; i < directory[3] && 4 + 4 * i + 3 < count; ++i) {
        keys.push_back(static_cast<geokey_t>(directory[4 + 4 * i]));
    }
    return keys;
}

void CopyGeoKey(GTIF* source, GTIF* target, geokey_t key)
{
    int size = 0;
    tagtype_t type = TYPE_UNKNOWN;
    const int count = GTIFKeyInfo(source, key, &size, &type);
    if (count <= 0) return;
    if (type == TYPE_SHORT) {
        std::vector<unsigned short> values(static_cast<std::size_t>(count));
        GTIFKeyGet(source, key, values.data(), 0, count);
        if (count == 1)
            GTIFKeySet(target, key, TYPE_SHORT, 1, static_cast<int>(values[0]));
        else
            GTIFKeySet(target, key, TYPE_SHORT, count, values.data());
    } else if (type == TYPE_DOUBLE) {
        std::vector<double> values(static_cast<std::size_t>(count));
        GTIFKeyGet(source, key, values.data(), 0, count);
        if (count == 1)
            GTIFKeySet(target, key, TYPE_DOUBLE, 1, values[0]);
        else
            GTIFKeySet(target, key, TYPE_DOUBLE, count, values.data());
    } else if (type == TYPE_ASCII) {
        std::vector<char> text(static_cast<std::size_t>(count) + 1, '\0');
        GTIFKeyGet(source, key, text.data(), 0, count);
        GTIFKeySet(target, key, TYPE_ASCII, 0, text.data());
    }
}

bool CopyGeoKeys(TIFF* input, TIFF* output)
{
    const std::vector<geokey_t> keys = KeysInDirectory(input);
    if (keys.empty()) return true;
    const GtifPtr source(GTIFNewEx(input, IgnoreGeoTiffMessage, nullptr));
    const GtifPtr target(GTIFNewEx(output, IgnoreGeoTiffMessage, nullptr));
    if (!source || !target) return false;
    int versions[3] = {};
    int keyCount = 0;
    GTIFDirectoryInfo(source.get(), versions, &keyCount);
    GTIFSetVersionNumbers(target.get(), static_cast<unsigned short>(versions[0]),
                          static_cast<unsigned short>(versions[1]),
                          static_cast<unsigned short>(versions[2]));
    for (const geokey_t key : keys) CopyGeoKey(source.get(), target.get(), key);
    return GTIFWriteKeys(target.get()) != 0;
}

}  // namespace

void CopyDescriptiveTags(TIFF* input, TIFF* output)
{
    for (const DescriptiveTag& entry : kDescriptiveTags) CopyTag(input, output, entry);
}

bool CopyGeoreferencing(TIFF* input, TIFF* output)
{
    static constexpr std::uint32_t kModelTags[] = {TIFFTAG_GEOTIEPOINTS, TIFFTAG_GEOPIXELSCALE,
                                                   TIFFTAG_GEOTRANSMATRIX};
    for (const std::uint32_t tag : kModelTags) {
        std::uint16_t count = 0;
        double* values = nullptr;
        if (TIFFGetField(input, tag, &count, &values) && count > 0) {
            TIFFSetField(output, tag, static_cast<int>(count), values);
        }
    }
    return CopyGeoKeys(input, output);
}

}  // namespace lumesta
