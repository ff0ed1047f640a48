#include "ui/input_summary.h"

#include <cmath>
#include <cstdio>

#include "raster/image_open.h"
#include "raster/placement.h"

namespace lumesta {
namespace {

const char* ShortTypeName(SampleType type)
{
    static const char* const kNames[] = {"UInt8", "Int8",  "UInt16",  "Int16",  "UInt32",
                                         "Int32", "UInt64", "Int64", "Float32", "Float64"};
    return kNames[static_cast<int>(type)];
}

// A number as people read it: integers without decimals, others with up to six significant
// digits, a decimal point whatever the locale.
std::string Plain(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value + 0.0);  // never "-0"
    return text;
}

std::string Size(int width, int height)
{
    return std::to_string(width) + " \u00d7 " + std::to_string(height) + " px";
}

std::string GeoreferenceText(const Georeference& geo)
{
    if (!geo.valid) return "not georeferenced";
    std::string crs = geo.crsName;
    if (crs.empty() && geo.epsg != 0) crs = "EPSG:" + std::to_string(geo.epsg);
    if (crs.empty()) crs = "georeferenced";
    const double width = std::fabs(geo.pixelWidth);
    const double height = std::fabs(geo.pixelHeight);
    std::string pixel = Plain(width);
    if (std::fabs(width - height) > 1e-9 * std::max(width, height)) pixel += " \u00d7 " + Plain(height);
    return crs + ", pixel " + pixel;
}

}  // namespace

std::string InputSummary(const RasterDescription& description)
{
    std::string text = Size(description.width, description.height) + ", " +
                       std::to_string(description.bands) +
                       (description.bands == 1 ? " band, " : " bands, ") +
                       ShortTypeName(description.type) + ", " + GeoreferenceText(description.geo) +
                       ", no data ";
    if (description.noData) {
        text += Plain(*description.noData);
    } else {
        text += description.maskBand ? "from the file's mask" : "none";
    }
    return text;
}

std::optional<RasterDescription> DescribeInput(const std::string& path, std::string& error)
{
    error.clear();
    if (path.empty()) return std::nullopt;
    if (NeedsMatrixSize(path)) {
        error = "headerless matrix: its size comes from the Width and Height fields";
        return std::nullopt;
    }
    const std::unique_ptr<RasterSource> source = OpenRaster(path, MatrixSize{}, error);
    if (!source) return std::nullopt;
    return source->Description();
}

std::string ExpectedMsText(const RasterDescription& pan, const RasterDescription* ms,
                           int fixedRatio)
{
    if (ms && ((pan.geo.valid && ms->geo.valid) || fixedRatio <= 0)) {
        MsPlacement placement;
        std::string error;
        if (!PlaceMsOnPan(pan, *ms, fixedRatio, placement, error)) return error;
        if (!placement.fromGeoreference) {
            return "MS on the pan: ratio " + std::to_string(placement.ratio) + ", corners aligned";
        }
        return "MS on the pan: ratio " + std::to_string(placement.ratio) + ", origin at " +
               Plain(placement.offsetX) + ", " + Plain(placement.offsetY) + " pan px";
    }
    if (fixedRatio <= 0) {
        return "Expected MS: the pan's size divided by the ratio (2, 4, 8 or 16)";
    }
    std::string text = "Expected MS: " +
                       Size(pan.width / fixedRatio, pan.height / fixedRatio) + " (ratio " +
                       std::to_string(fixedRatio) + ")";
    if (ms && (ms->width * fixedRatio != pan.width || ms->height * fixedRatio != pan.height)) {
        text += " \u2014 the MS chosen is " + Size(ms->width, ms->height);
    }
    return text;
}

}  // namespace lumesta
