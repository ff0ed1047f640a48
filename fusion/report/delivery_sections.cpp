#include "fusion/report/delivery_sections.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>

#include "fusion/report/report_sections.h"

namespace lumesta {
namespace {

std::string Num(std::int64_t value)
{
    return std::to_string(static_cast<long long>(value));
}

// "none", or the value as a whole number.
std::string NoDataText(const std::optional<double>& value, bool mask)
{
    if (value) return Num(static_cast<std::int64_t>(*value));
    return mask ? "the file's mask" : "none";
}

void WriteSizeLines(std::int64_t width, std::int64_t height, std::int64_t bytes, RunLog& log)
{
    log.Append("Width:\t\t\t" + Num(width) + " pixels\r\n");
    log.Append("Height:\t\t\t" + Num(height) + " pixels\r\n");
    log.Append("Image Size:\t\t" + Num(width * height) + " pixels\r\n");
    log.Append("File Size:\t\t" + Num(bytes) + " bytes\r\n");
}

void WriteInputSections(const PanSharpenJob& job, const DeliveryScene& scene, RunLog& log)
{
    const RasterDescription& pan = scene.pan->Description();
    const RasterDescription& ms = scene.ms->Description();
    log.Append("(a) Input High Resolution Panchromatic Band:\r\n");
    log.Append("PAN:\t" + job.panPath + "\r\n");
    WriteSizeLines(pan.width, pan.height, pan.byteSize, log);
    log.Append("No data:\t\t" + NoDataText(scene.panNoData, scene.panMask) + "\r\n\r\n");

    log.Append("(b) Input Low Resolution Multispectral Bands:\r\n");
    for (int k = 0; k < scene.bands; ++k) {
        log.Append("Band " + Num(k + 1) + ":\t" + job.delivery.msPath + "(" +
                   scene.bandNames[static_cast<std::size_t>(k)] + ")\r\n");
    }
    WriteSizeLines(ms.width, ms.height, ms.byteSize, log);
    log.Append("Sample Type:\t\t" + SampleTypeName(scene.type) + "\r\n");
    log.Append("No data:\t\t" + NoDataText(scene.msNoData, scene.msMask) + "\r\n");
    log.Append("Ratio:\t\t\t" + Num(scene.placement.ratio) + "\r\n");
    log.Append("MS origin on the pan:\t" + TwoDecimals(scene.placement.offsetX) + ", " +
               TwoDecimals(scene.placement.offsetY) + " pan pixels (" +
               (scene.placement.fromGeoreference ? "georeferencing" : "corners aligned") +
               ")\r\n\r\n");
}

void WriteParameterSection(const PanSharpenJob& job, const DeliveryScene& scene, RunLog& log)
{
    log.Append("(c) Key Parameters:\r\n");
    log.Append(std::string("Pan-Sharpening Method:\t") + MethodRowOf(job.method).reportName +
               "\r\n");
    if (job.autoMethod.requested) {
        for (const std::string& line : job.autoMethod.reportLines) log.Append(line);
    }
    if (!scene.registrationLine.empty()) log.Append(scene.registrationLine + "\r\n");
    log.Append("Sensor:\t\t\t" + job.sensor + "\r\n");
    log.Append("Resampling Method:\t23-Tap Interpolator\r\n");
    log.Append("Spatial Filtering:\tNone\r\n\r\n");
}

void WriteOutputSection(const PanSharpenJob& job, const DeliveryScene& scene, RunLog& log)
{
    log.Append("(d) Output Pan-Sharpened Multispectral Image:\r\n");
    log.Append("Output:\t" + scene.outputPath + "\r\n");
    log.Append("Format:\t\t\t" + FormatLabel(scene.format) + ", " + Num(scene.bands) +
               " bands, " + SampleTypeName(scene.type) + "\r\n");
    log.Append("No-data value:\t\t" +
               (scene.marksNoData ? Num(static_cast<std::int64_t>(scene.OutputNoData())) : "none") +
               "\r\n");
    log.Append("BMP:\t" + scene.bmpPath + "\r\n");
    log.Append("BMP bands (R, G, B):\t" + Num(scene.rgb[0] + 1) + ", " + Num(scene.rgb[1] + 1) +
               ", " + Num(scene.rgb[2] + 1) + "\r\n");
    log.Append(std::string("Display it?\t\t") + (job.displayBmp ? "Yes\r\n" : "No\r\n"));
    WriteStretchReport(false, job.stretch, log);
}

}  // namespace

std::string TwoDecimals(double value)
{
    double rounded = std::round(value * 100) / 100;
    if (rounded == 0) rounded = 0;  // no "-0.00"
    char text[64];
    const auto result =
        std::to_chars(text, text + sizeof text, rounded, std::chars_format::fixed, 2);
    return std::string(text, result.ptr);
}

void WriteDeliverySections(const PanSharpenJob& job, const DeliveryScene& scene, RunLog& log)
{
    WriteInputSections(job, scene, log);
    WriteParameterSection(job, scene, log);
    WriteOutputSection(job, scene, log);
}

}  // namespace lumesta
