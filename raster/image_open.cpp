#include "raster/image_open.h"

#include <sys/stat.h>

#include <fstream>
#include <optional>

#include "raster/file_name.h"
#include "raster/gdal/gdal_source.h"
#include "raster/geotiff/geotiff_source.h"
#include "raster/header_fields.h"
#include "raster/world_file.h"

namespace lumesta {
namespace {

std::optional<SampleType> EnviType(long long code)
{
    switch (code) {
        case 1:
            return SampleType::UInt8;
        case 2:
            return SampleType::Int16;
        case 3:
            return SampleType::Int32;
        case 4:
            return SampleType::Float32;
        case 5:
            return SampleType::Float64;
        case 12:
            return SampleType::UInt16;
        case 13:
            return SampleType::UInt32;
        case 14:
            return SampleType::Int64;
        case 15:
            return SampleType::UInt64;
        default:
            return std::nullopt;
    }
}

RawLayout InterleavedLayout(const std::string& interleave, const RasterDescription& d,
                            std::int64_t offset, bool bigEndian)
{
    const std::int64_t sample = SampleBytes(d.type);
    const std::int64_t w = d.width;
    RawLayout layout{offset, w * d.height * sample, w * sample, sample, bigEndian};
    if (interleave == "bil") {
        layout.bandStride = w * sample;
        layout.rowStride = w * d.bands * sample;
    } else if (interleave == "bip") {
        layout.bandStride = sample;
        layout.pixelStride = d.bands * sample;
        layout.rowStride = w * d.bands * sample;
    }
    return layout;
}

std::string Field(const HeaderFields& fields, const std::string& key)
{
    const auto it = fields.find(key);
    return it == fields.end() ? std::string() : it->second;
}

std::unique_ptr<RasterSource> OpenEnvi(const std::string& dataPath, std::string& error)
{
    const std::string headerPath = WithoutLastFour(dataPath) + ".hdr";
    const std::optional<HeaderFields> fields = ReadEnviFields(headerPath);
    if (!fields) {
        error = "The ENVI header " + headerPath + " is missing or does not start with \"ENVI\".";
        return nullptr;
    }
    const auto width = ParseHeaderInteger(Field(*fields, "samples"));
    const auto height = ParseHeaderInteger(Field(*fields, "lines"));
    const auto bands = ParseHeaderInteger(Field(*fields, "bands"));
    if (!width || !height || !bands) {
        error = "The ENVI header does not give samples, lines and bands as numbers.";
        return nullptr;
    }
    if (!CheckImageSize(*width, *height, *bands, error)) return nullptr;
    const std::optional<SampleType> type =
        EnviType(ParseHeaderInteger(Field(*fields, "data type")).value_or(0));
    const std::string interleave = LowerText(Field(*fields, "interleave"));
    if (!type) {
        error = "ENVI data type " + Field(*fields, "data type") + " cannot be shown.";
        return nullptr;
    }
    if (interleave != "bsq" && interleave != "bil" && interleave != "bip") {
        error = "ENVI interleave \"" + Field(*fields, "interleave") + "\" is unknown.";
        return nullptr;
    }
    RasterDescription d;
    d.format = "ENVI";
    d.reader = ReaderKind::Envi;
    d.headerPaths = {headerPath};
    d.width = static_cast<int>(*width);
    d.height = static_cast<int>(*height);
    d.bands = static_cast<int>(*bands);
    d.type = *type;
    const std::vector<std::string> names = SplitItems(Field(*fields, "band names"));
    if (static_cast<int>(names.size()) == d.bands) d.bandNames = names;
    d.layout = "band " + interleave + " interleaved";
    d.geo = ReadEnviGeoreference(headerPath);
    d.noData = ParseHeaderNumber(Field(*fields, "data ignore value"));
    const std::int64_t offset = ParseHeaderInteger(Field(*fields, "header offset")).value_or(0);
    const bool bigEndian = ParseHeaderInteger(Field(*fields, "byte order")).value_or(0) == 1;
    const RawLayout layout = InterleavedLayout(interleave, d, offset, bigEndian);
    return OpenRawSource(dataPath, std::move(d), layout, error);
}

// "ref. system" with min./max. X/Y: a plain grid ("plane") has no place on the ground.
Georeference IdrisiGeoreference(const HeaderFields& fields, int width, int height)
{
    Georeference geo;
    const std::string system = Field(fields, "ref. system");
    const auto minX = ParseHeaderNumber(Field(fields, "min. x"));
    const auto maxX = ParseHeaderNumber(Field(fields, "max. x"));
    const auto minY = ParseHeaderNumber(Field(fields, "min. y"));
    const auto maxY = ParseHeaderNumber(Field(fields, "max. y"));
    if (system.empty() || LowerText(system) == "plane" || !minX || !maxX || !minY || !maxY ||
        *maxX <= *minX || *maxY <= *minY) {
        return geo;
    }
    geo.originX = *minX;
    geo.originY = *maxY;
    geo.pixelWidth = (*maxX - *minX) / width;
    geo.pixelHeight = -(*maxY - *minY) / height;
    geo.crsName = system;
    geo.source = "Idrisi32 reference system";
    geo.valid = true;
    return geo;
}

std::unique_ptr<RasterSource> OpenIdrisi(const std::string& dataPath, std::string& error)
{
    const std::string headerPath = WithoutLastFour(dataPath) + ".rdc";
    const std::optional<HeaderFields> fields = ReadIdrisiFields(headerPath);
    if (!fields) {
        error = "The Idrisi32 header " + headerPath + " is missing or gives no columns.";
        return nullptr;
    }
    const auto width = ParseHeaderInteger(Field(*fields, "columns"));
    const auto height = ParseHeaderInteger(Field(*fields, "rows"));
    if (!width || !height) {
        error = "The Idrisi32 header does not give columns and rows as numbers.";
        return nullptr;
    }
    const std::string dataType = LowerText(Field(*fields, "data type"));
    const int bands = dataType == "rgb24" ? 3 : 1;
    if (!CheckImageSize(*width, *height, bands, error)) return nullptr;
    if (LowerText(Field(*fields, "file type")) != "binary") {
        error = "Only binary Idrisi32 files can be shown (file type is \"" +
                Field(*fields, "file type") + "\").";
        return nullptr;
    }
    RasterDescription d;
    d.format = "Idrisi32";
    d.reader = ReaderKind::Idrisi;
    d.headerPaths = {headerPath};
    d.width = static_cast<int>(*width);
    d.height = static_cast<int>(*height);
    d.bands = bands;
    if (dataType == "byte" || dataType == "rgb24") {
        d.type = SampleType::UInt8;
    } else if (dataType == "integer") {
        d.type = SampleType::Int16;
    } else if (dataType == "real") {
        d.type = SampleType::Float32;
    } else {
        error = "Idrisi32 data type \"" + Field(*fields, "data type") + "\" is unknown.";
        return nullptr;
    }
    d.bandNames = bands == 3 ? std::vector<std::string>{"Blue", "Green", "Red"}
                             : std::vector<std::string>{WithoutLastFour(FileNameOf(dataPath))};
    d.layout = bands == 3 ? "blue, green, red bytes per pixel" : "one band";
    d.geo = IdrisiGeoreference(*fields, d.width, d.height);
    const std::string interleave = bands == 3 ? "bip" : "bsq";
    const RawLayout layout = InterleavedLayout(interleave, d, 0, false);
    return OpenRawSource(dataPath, std::move(d), layout, error);
}

std::unique_ptr<RasterSource> OpenGroup(const std::string& path, std::string& error)
{
    std::ifstream file(path);
    std::string line;
    long long count = 0;
    if (file && std::getline(file, line)) {
        const std::string first = Trimmed(line);
        count = ParseHeaderInteger(first.substr(0, first.find_first_of(" \t"))).value_or(0);
    }
    if (count < 1 || count > kMaxImageBands) {
        error = "The group file does not start with a band count.";
        return nullptr;
    }
    std::vector<std::unique_ptr<RasterSource>> parts;
    std::vector<std::string> names;
    while (static_cast<long long>(parts.size()) < count && std::getline(file, line)) {
        const std::string name = Trimmed(line);
        if (name.empty()) continue;
        auto part = OpenIdrisi(FolderOf(path) + name + ".rst", error);
        if (!part) {
            error = "Band \"" + name + "\" of the group: " + error;
            return nullptr;
        }
        const RasterDescription& first =
            parts.empty() ? part->Description() : parts.front()->Description();
        if (part->Description().width != first.width ||
            part->Description().height != first.height) {
            error = "Band \"" + name + "\" of the group has another size than the first band.";
            return nullptr;
        }
        names.push_back(name);
        parts.push_back(std::move(part));
    }
    if (static_cast<long long>(parts.size()) < count) {
        error = "The group file lists fewer bands than its count says.";
        return nullptr;
    }
    return StackSources(std::move(parts), "Idrisi32 group", ReaderKind::IdrisiGroup);
}

// A header name stands for its data file.
std::string DataNameOf(const std::string& path)
{
    const std::string four = LastFourLower(path);
    if (four == ".hdr") return WithoutLastFour(path) + ".img";
    if (four == ".rdc") return WithoutLastFour(path) + ".rst";
    return path;
}

}  // namespace

bool NeedsMatrixSize(const std::string& path)
{
    return ChooseReader(DataNameOf(path)) == ReaderKind::Matrix;
}

std::unique_ptr<RasterSource> OpenRaster(const std::string& path, const MatrixSize& matrix,
                                         std::string& error)
{
    if (!FileExists(path)) {
        error = "The file " + path + " does not exist.";
        return nullptr;
    }
    const std::string data = DataNameOf(path);
    switch (ChooseReader(data)) {
        case ReaderKind::Envi:
            return OpenEnvi(data, error);
        case ReaderKind::Idrisi:
            return OpenIdrisi(data, error);
        case ReaderKind::IdrisiGroup:
            return OpenGroup(path, error);
        case ReaderKind::StripTiff:
            return OpenGeoTiffSource(path, error);
        case ReaderKind::Gdal:
            return OpenGdalSource(path, error);
        case ReaderKind::Bmp:
            return OpenBmpSource(path, error);
        case ReaderKind::Batch:
        case ReaderKind::Matrix:
            break;
    }
    return OpenMatrixSource(path, matrix, error);
}

}  // namespace lumesta
