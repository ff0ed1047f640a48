#include "raster/raster_layout.h"

#include <tiffio.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <map>

#include "raster/declared_size.h"
#include "raster/file_name.h"
#include "raster/gdal/gdal_source.h"
#include "raster/tiff_handle.h"

namespace lumesta {
namespace {

std::string Trim(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

std::string Lower(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// "key <separator> value" lines of a text header, keys lower-cased and trimmed.
std::map<std::string, std::string> ReadKeyValues(const std::string& path, char separator,
                                                 bool& opened)
{
    std::map<std::string, std::string> values;
    std::ifstream in(path, std::ios::binary);
    opened = static_cast<bool>(in);
    std::string line;
    while (std::getline(in, line)) {
        const auto at = line.find(separator);
        if (at == std::string::npos) continue;
        values.emplace(Lower(Trim(line.substr(0, at))), Trim(line.substr(at + 1)));
    }
    return values;
}

bool ParseCount(const std::map<std::string, std::string>& values, const std::string& key,
                std::int64_t& out)
{
    const auto found = values.find(key);
    if (found == values.end()) return false;
    try {
        std::size_t used = 0;
        out = std::stoll(found->second, &used);
        return used == found->second.size() && out >= 0;
    } catch (const std::exception&) {
        return false;
    }
}

bool EnviType(std::int64_t code, SampleType& type)
{
    switch (code) {
        case 1:
            type = SampleType::UInt8;
            return true;
        case 2:
            type = SampleType::Int16;
            return true;
        case 3:
            type = SampleType::Int32;
            return true;
        case 4:
            type = SampleType::Float32;
            return true;
        case 5:
            type = SampleType::Float64;
            return true;
        case 12:
            type = SampleType::UInt16;
            return true;
        case 13:
            type = SampleType::UInt32;
            return true;
        case 14:
            type = SampleType::Int64;
            return true;
        case 15:
            type = SampleType::UInt64;
            return true;
        default:
            return false;
    }
}

// 0: fine; 1: header unreadable; 2: unsupported type.
int ReadEnvi(const std::string& path, RasterLayout& layout)
{
    bool opened = false;
    const auto values = ReadKeyValues(WithoutLastFour(path) + ".hdr", '=', opened);
    std::int64_t bands = 1;
    std::int64_t code = 0;
    if (!opened || !ParseCount(values, "samples", layout.width) ||
        !ParseCount(values, "lines", layout.height) || !ParseCount(values, "data type", code) ||
        layout.width < 1 || layout.height < 1) {
        return 1;
    }
    if (values.count("bands") &&
        (!ParseCount(values, "bands", bands) || bands < 1 || bands > INT_MAX)) {
        return 1;
    }
    layout.bands = static_cast<int>(bands);
    if (values.count("header offset") && !ParseCount(values, "header offset", layout.headerOffset))
        return 1;
    std::int64_t order = 0;
    if (values.count("byte order") && !ParseCount(values, "byte order", order)) return 1;
    layout.bigEndian = order == 1;
    const auto interleave = values.find("interleave");
    const std::string name = interleave == values.end() ? "bsq" : Lower(interleave->second);
    if (name == "bil") {
        layout.interleave = Interleave::Bil;
    } else if (name == "bip") {
        layout.interleave = Interleave::Bip;
    } else if (name != "bsq") {
        return 2;
    }
    return EnviType(code, layout.type) ? 0 : 2;
}

int ReadIdrisi(const std::string& path, RasterLayout& layout)
{
    bool opened = false;
    const auto values = ReadKeyValues(WithoutLastFour(path) + ".rdc", ':', opened);
    if (!opened || !ParseCount(values, "columns", layout.width) ||
        !ParseCount(values, "rows", layout.height) || !values.count("data type") ||
        layout.width < 1 || layout.height < 1) {
        return 1;
    }
    const auto fileType = values.find("file type");
    if (fileType != values.end() && Lower(fileType->second) != "binary") return 2;
    const std::string type = Lower(values.at("data type"));
    if (type == "byte") {
        layout.type = SampleType::UInt8;
    } else if (type == "integer") {
        layout.type = SampleType::Int16;
    } else if (type == "real") {
        layout.type = SampleType::Float32;
    } else {
        return 2;
    }
    return 0;
}

bool TiffType(int bits, int format, SampleType& type)
{
    const bool isFloat = format == SAMPLEFORMAT_IEEEFP;
    const bool isSigned = format == SAMPLEFORMAT_INT;
    if (format != SAMPLEFORMAT_UINT && !isFloat && !isSigned) return false;
    switch (bits) {
        case 8:
            type = isSigned ? SampleType::Int8 : SampleType::UInt8;
            return !isFloat;
        case 16:
            type = isSigned ? SampleType::Int16 : SampleType::UInt16;
            return !isFloat;
        case 32:
            type = isFloat    ? SampleType::Float32
                   : isSigned ? SampleType::Int32
                              : SampleType::UInt32;
            return true;
        case 64:
            type = isFloat    ? SampleType::Float64
                   : isSigned ? SampleType::Int64
                              : SampleType::UInt64;
            return true;
        default:
            return false;
    }
}

std::int64_t FileLength(const std::string& path)
{
    std::error_code error;
    const auto length = std::filesystem::file_size(path, error);
    return error ? -1 : static_cast<std::int64_t>(length);
}

// 0: fine; 1: header unreadable; 2: unsupported type; 4: more data declared than the file holds.
int ReadTiffLayout(const std::string& path, RasterLayout& layout)
{
    const TiffPtr tiff = OpenGeoTiff(path, "r");
    if (!tiff) return 1;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint16_t samples = 1;
    std::uint16_t bits = 8;
    std::uint16_t format = SAMPLEFORMAT_UINT;
    TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_SAMPLEFORMAT, &format);
    std::uint16_t compression = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_COMPRESSION, &compression);
    if (width == 0 || height == 0 || samples == 0) return 1;
    if (TIFFIsTiled(tiff.get()) || !TiffType(bits, format, layout.type)) return 2;
    layout.width = width;
    layout.height = height;
    layout.bands = samples;
    layout.tiff = true;
    const DeclaredRaster declared{width, height, samples, SampleBytes(layout.type)};
    return CheckDeclaredRaster(declared, 0, FileLength(path), compression != COMPRESSION_NONE, 0) ==
                   DeclaredSizeVerdict::Fits
               ? 0
               : 4;
}

// The size and type GDAL reports; 5 (after the reader's message) when GDAL cannot read it.
int ReadGdalLayout(const std::string& path, RasterLayout& layout, Host& host)
{
    std::string error;
    const std::unique_ptr<RasterSource> source = OpenGdalSource(path, error);
    if (!source) {
        host.ShowMessage(error);
        return 5;
    }
    const RasterDescription& d = source->Description();
    layout.width = d.width;
    layout.height = d.height;
    layout.bands = d.bands;
    layout.type = d.type;
    return 0;
}

int ReadGeneric(const GenericSize& generic, RasterLayout& layout)
{
    if (generic.width <= 0 || generic.height <= 0 || (generic.bytes != 1 && generic.bytes != 2))
        return 3;
    layout.width = generic.width;
    layout.height = generic.height;
    layout.type = generic.bytes == 1 ? SampleType::UInt8 : SampleType::Int16;
    return 0;
}

}  // namespace

int SampleBytes(SampleType type)
{
    switch (type) {
        case SampleType::UInt8:
        case SampleType::Int8:
            return 1;
        case SampleType::UInt16:
        case SampleType::Int16:
            return 2;
        case SampleType::UInt32:
        case SampleType::Int32:
        case SampleType::Float32:
            return 4;
        default:
            return 8;
    }
}

bool IsIntegerType(SampleType type)
{
    return type != SampleType::Float32 && type != SampleType::Float64;
}

bool DescribeRaster(const std::string& path, const GenericSize& generic, RasterLayout& layout,
                    Host& host)
{
    layout = RasterLayout{};
    layout.path = path;
    if (!FileExists(path) || std::filesystem::is_directory(path)) {
        host.ShowMessage("Cannot open " + path + ".");
        return false;
    }
    layout.reader = ChooseReader(path);
    int result = 0;
    switch (layout.reader) {
        case ReaderKind::Envi:
            result = ReadEnvi(path, layout);
            break;
        case ReaderKind::Idrisi:
            result = ReadIdrisi(path, layout);
            break;
        case ReaderKind::StripTiff:
            result = ReadTiffLayout(path, layout);
            break;
        case ReaderKind::Gdal:
            result = ReadGdalLayout(path, layout, host);
            break;
        default:
            layout.reader = ReaderKind::Matrix;
            result = ReadGeneric(generic, layout);
            break;
    }
    if (result == 1) host.ShowMessage("Cannot read the header of " + path + ".");
    if (result == 2) host.ShowMessage(path + ": unsupported data type.");
    if (result == 3) {
        host.ShowMessage(path + ": give --width, --height and --bytes for a headerless matrix.");
    }
    // A TIFF's strips are checked by libtiff as they are read, a GDAL-read file's blocks by
    // GDAL; here only that the file can hold what the header declares.
    const bool fits =
        result == 0 &&
        (layout.tiff || layout.reader == ReaderKind::Gdal ||
         CheckDeclaredRaster({layout.width, layout.height, layout.bands, SampleBytes(layout.type)},
                             layout.headerOffset, FileLength(path), false,
                             0) == DeclaredSizeVerdict::Fits);
    if (result == 4 || (result == 0 && !fits)) {
        host.ShowMessage(path + " is shorter than its size says (truncated?).");
    }
    return fits;
}

}  // namespace lumesta
