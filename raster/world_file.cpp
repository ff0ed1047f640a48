#include "raster/world_file.h"

#include <charconv>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "raster/file_name.h"
#include "raster/gdal/gdal_source.h"
#include "raster/geotiff/geotiff_georeference.h"
#include "raster/header_fields.h"
#include "raster/reader_choice.h"

namespace lumesta {
namespace {

// Shortest plain decimal that reads back as the same double, independent of the locale.
std::string NumberText(double value)
{
    char buffer[400];
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    return error == std::errc() ? std::string(buffer, end) : std::string("0");
}

std::string XmlEscaped(const std::string& text)
{
    std::string escaped;
    for (const char c : text) {
        if (c == '&') {
            escaped += "&amp;";
        } else if (c == '<') {
            escaped += "&lt;";
        } else if (c == '>') {
            escaped += "&gt;";
        } else if (c == '"') {
            escaped += "&quot;";
        } else {
            escaped += c;
        }
    }
    return escaped;
}

std::string XmlUnescaped(const std::string& text)
{
    static const std::pair<const char*, char> kEntities[] = {
        {"&quot;", '"'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'}};
    std::string plain;
    for (std::size_t i = 0; i < text.size();) {
        bool replaced = false;
        for (const auto& [entity, c] : kEntities) {
            const std::string name(entity);
            if (text.compare(i, name.size(), name) == 0) {
                plain += c;
                i += name.size();
                replaced = true;
                break;
            }
        }
        if (!replaced) plain += text[i++];
    }
    return plain;
}

// Writes through a temporary name and renames it into place, so that a failed write leaves
// neither a partial file nor the temporary one.
bool WriteWhole(const std::string& path, const std::string& text)
{
    const std::string temporary = path + ".part";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        if (!file) return false;
        file.write(text.data(), static_cast<std::streamsize>(text.size()));
        file.close();
        if (!file) {
            std::remove(temporary.c_str());
            return false;
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace

std::string WorldFileText(const Georeference& geo)
{
    const MapPoint centre = geo.PixelToMap(0.5, 0.5);
    const double lines[6] = {geo.pixelWidth,  geo.columnSkewY, geo.rowSkewX,
                             geo.pixelHeight, centre.x,        centre.y};
    std::string text;
    for (const double value : lines) text += NumberText(value) + "\n";
    return text;
}

std::string AuxXmlText(const Georeference& geo)
{
    std::string srs = geo.crsWkt;
    if (srs.empty() && geo.epsg != 0) srs = "EPSG:" + std::to_string(geo.epsg);
    std::string text = "<PAMDataset>\n";
    if (!srs.empty()) text += "  <SRS>" + XmlEscaped(srs) + "</SRS>\n";
    text += "  <GeoTransform>" + NumberText(geo.originX) + ", " + NumberText(geo.pixelWidth) +
            ", " + NumberText(geo.rowSkewX) + ", " + NumberText(geo.originY) + ", " +
            NumberText(geo.columnSkewY) + ", " + NumberText(geo.pixelHeight) + "</GeoTransform>\n";
    text += "</PAMDataset>\n";
    return text;
}

std::string WorldFilePath(const std::string& picturePath)
{
    const std::size_t slash = picturePath.find_last_of("/\\");
    const std::size_t dot = picturePath.find_last_of('.');
    const bool hasExtension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExtension ? picturePath.substr(0, dot) : picturePath) + ".wld";
}

bool WriteWorldFiles(const std::string& picturePath, const Georeference& geo)
{
    if (!geo.valid) return false;
    const std::string worldPath = WorldFilePath(picturePath);
    if (!WriteWhole(worldPath, WorldFileText(geo))) return false;
    if (!WriteWhole(picturePath + ".aux.xml", AuxXmlText(geo))) {
        std::remove(worldPath.c_str());
        return false;
    }
    return true;
}

Georeference ReadWorldFiles(const std::string& picturePath)
{
    Georeference geo;
    std::ifstream world(WorldFilePath(picturePath));
    double values[6] = {};
    std::string line;
    for (double& value : values) {
        if (!std::getline(world, line)) return geo;
        const std::optional<double> number = ParseHeaderNumber(line);
        if (!number) return geo;
        value = *number;
    }
    geo.pixelWidth = values[0];
    geo.columnSkewY = values[1];
    geo.rowSkewX = values[2];
    geo.pixelHeight = values[3];
    geo.originX = values[4] - 0.5 * (values[0] + values[2]);
    geo.originY = values[5] - 0.5 * (values[1] + values[3]);
    geo.source = "world file";
    geo.valid = true;
    std::ifstream aux(picturePath + ".aux.xml");
    std::stringstream text;
    text << aux.rdbuf();
    const std::string xml = text.str();
    const std::size_t open = xml.find("<SRS");
    const std::size_t start = open == std::string::npos ? open : xml.find('>', open);
    const std::size_t close = xml.find("</SRS>");
    if (start != std::string::npos && close != std::string::npos && close > start) {
        geo.crsWkt = XmlUnescaped(xml.substr(start + 1, close - start - 1));
        geo.crsName = WktName(geo.crsWkt).empty() ? geo.crsWkt : WktName(geo.crsWkt);
    }
    return geo;
}

Georeference ReadInputGeoreference(const std::string& path)
{
    const std::string extension = LastFourLower(path);
    if (extension == ".tif") return ReadGeoTiffGeoreference(path);
    if (extension == ".img") return ReadEnviGeoreference(WithoutLastFour(path) + ".hdr");
    if (IsGdalName(path)) {
        std::string error;
        const std::unique_ptr<RasterSource> source = OpenGdalSource(path, error);
        if (source) return source->Description().geo;
    }
    return {};
}

void WriteWorldFilesFromInput(const std::string& picturePath, const std::string& inputPath)
{
    if (!FileExists(picturePath)) return;
    const Georeference geo = ReadInputGeoreference(inputPath);
    if (geo.valid) WriteWorldFiles(picturePath, geo);
}

}  // namespace lumesta
