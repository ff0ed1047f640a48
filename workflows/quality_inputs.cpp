#include "workflows/quality_inputs.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <utility>

#include "imaging/interpolator23.h"
#include "raster/declared_no_data.h"
#include "raster/output/band_file_writer.h"
#include "raster/placement.h"
#include "raster/raster_source.h"
#include "raster/world_file.h"

namespace lumesta {
namespace {

std::string SizeText(std::int64_t width, std::int64_t height)
{
    return std::to_string(width) + " x " + std::to_string(height);
}

bool SameSize(const std::vector<BandSource>& bands)
{
    for (const BandSource& band : bands) {
        if (band.layout.width != bands[0].layout.width ||
            band.layout.height != bands[0].layout.height) {
            return false;
        }
    }
    return true;
}

bool CheckBandSizes(const std::vector<BandSource>& bands, const std::string& what, Host& host)
{
    if (SameSize(bands)) return true;
    host.ShowMessage("The " + what + " bands differ in size.");
    return false;
}

bool ResolvePan(const std::string& path, const GenericSize& generic, Host& host, BandSource& pan)
{
    std::vector<BandSource> bands;
    if (!ResolveBands({path}, generic, host, bands)) return false;
    pan = bands[0];
    return true;
}

struct SizeOf {
    std::int64_t width;
    std::int64_t height;
};

// The MS must be 1/ratio of the pan (and, for the protocol, have sides that are multiples of it).
bool CheckPanAndMs(const QualityInputs& in, int ratio, bool protocol, Host& host)
{
    const SizeOf pan{BandWidth(in.pan), BandHeight(in.pan)};
    const SizeOf ms{BandWidth(in.ms[0]), BandHeight(in.ms[0])};
    if (pan.width % ratio != 0 || pan.height % ratio != 0) {
        host.ShowMessage("The pan's sides (" + SizeText(pan.width, pan.height) +
                         ") are not multiples of the ratio " + std::to_string(ratio) + ".");
        return false;
    }
    if (ms.width * ratio != pan.width || ms.height * ratio != pan.height) {
        host.ShowMessage("The MS bands (" + SizeText(ms.width, ms.height) + ") are not 1/" +
                         std::to_string(ratio) + " of the pan (" + SizeText(pan.width, pan.height) +
                         ").");
        return false;
    }
    if (protocol && (ms.width % ratio != 0 || ms.height % ratio != 0)) {
        host.ShowMessage("The MS bands' sides (" + SizeText(ms.width, ms.height) +
                         ") are not multiples of the ratio " + std::to_string(ratio) + ".");
        return false;
    }
    return true;
}

// A number in at most six significant digits, for messages.
std::string ShortNumberText(double value)
{
    char text[32];
    const auto result =
        std::to_chars(text, text + sizeof text, value + 0.0, std::chars_format::general, 6);
    return std::string(text, result.ptr);
}

// A description for placement: the file's name, size and georeferencing.
RasterDescription PlacedDescription(const RasterLayout& layout)
{
    RasterDescription description;
    description.dataPaths = {layout.path};
    description.width = static_cast<int>(layout.width);
    description.height = static_cast<int>(layout.height);
    description.geo = ReadInputGeoreference(layout.path);
    return description;
}

// Uses width × height samples of every band from column left, row top.
void UsePart(std::vector<BandSource>& bands, std::int64_t left, std::int64_t top,
             std::int64_t width, std::int64_t height)
{
    for (BandSource& band : bands) {
        band.left = left;
        band.top = top;
        band.width = width;
        band.height = height;
    }
}

// The first and one past the last MS pixel along an axis that lie on the pan (its pixels from
// ratio × (pixel + shift) on), trimmed to a multiple of ratio pixels for the protocols.
std::pair<std::int64_t, std::int64_t> SharedPixels(std::int64_t msSide, std::int64_t panSide,
                                                   std::int64_t shift, int ratio, bool protocol)
{
    const std::int64_t first = std::max<std::int64_t>(0, -shift);
    std::int64_t last = std::min(msSide, panSide / ratio - shift);
    if (protocol && last > first) last = first + (last - first) / ratio * ratio;
    return {first, last};
}

// A pan and MS both georeferenced are placed by their geotransforms, as pan-sharpening places
// them: the ratio is theirs (a --ratio must agree). An MS whose corner lies on whole MS pixels of
// the pan's grid is measured on the area both cover (for the protocols, sides multiples of the
// ratio); a fraction of an MS pixel would need resampling and is refused. Otherwise the ratio is
// the job's and the sizes decide (CheckPanAndMs).
bool PlaceMs(const QualityJob& job, QualityInputs& in, Host& host)
{
    in.ratio = job.ratio;
    const RasterDescription pan = PlacedDescription(in.pan.layout);
    const RasterDescription ms = PlacedDescription(in.ms[0].layout);
    if (!pan.geo.valid || !ms.geo.valid) return true;
    MsPlacement placement;
    std::string error;
    if (!PlaceMsOnPan(pan, ms, job.ratioGiven ? job.ratio : 0, placement, error)) {
        host.ShowMessage(error);
        return false;
    }
    const int ratio = placement.ratio;
    in.ratio = ratio;
    const std::string both = "PAN " + in.pan.layout.path + " and MS " + in.ms[0].layout.path;
    // Within a hundredth of a pan pixel counts as on the grid (rounding of the origins).
    constexpr double kOnGrid = 0.01;
    const double shiftX = std::round(placement.offsetX / ratio);
    const double shiftY = std::round(placement.offsetY / ratio);
    if (std::fabs(placement.offsetX - shiftX * ratio) > kOnGrid ||
        std::fabs(placement.offsetY - shiftY * ratio) > kOnGrid) {
        host.ShowMessage("The MS lies " + ShortNumberText(placement.offsetX) + ", " +
                         ShortNumberText(placement.offsetY) + " pan pixels from the corner of " +
                         both + ", not on whole MS pixels of the pan's grid: the quality tools "
                         "do not resample the MS.");
        return false;
    }
    const auto sx = static_cast<std::int64_t>(shiftX);
    const auto sy = static_cast<std::int64_t>(shiftY);
    if (sx == 0 && sy == 0 && in.pan.layout.width == ratio * in.ms[0].layout.width &&
        in.pan.layout.height == ratio * in.ms[0].layout.height) {
        return true;  // one extent: every pixel counts
    }
    const bool protocol = job.protocol != QualityProtocol::Full;
    const auto columns =
        SharedPixels(in.ms[0].layout.width, in.pan.layout.width, sx, ratio, protocol);
    const auto rows = SharedPixels(in.ms[0].layout.height, in.pan.layout.height, sy, ratio, protocol);
    if (columns.second <= columns.first || rows.second <= rows.first) {
        host.ShowMessage("The MS and the PAN share too few pixels to measure: " + both + ".");
        return false;
    }
    UsePart(in.ms, columns.first, rows.first, columns.second - columns.first,
            rows.second - rows.first);
    std::vector<BandSource> panBand{in.pan};
    UsePart(panBand, ratio * (columns.first + sx), ratio * (rows.first + sy),
            ratio * (columns.second - columns.first), ratio * (rows.second - rows.first));
    in.pan = panBand[0];
    return true;
}

bool CheckPair(const std::vector<BandSource>& a, const std::vector<BandSource>& b,
               const std::string& what, Host& host)
{
    if (a.size() != b.size()) {
        host.ShowMessage("The fused image has " + std::to_string(a.size()) + " bands, the " + what +
                         " " + std::to_string(b.size()) + ".");
        return false;
    }
    return true;
}

bool ResolveBandsAndSizes(const QualityJob& job, Host& host, QualityInputs& in)
{
    if (!IsPowerOfTwo(job.ratio)) {
        host.ShowMessage("The ratio " + std::to_string(job.ratio) +
                         " is not a power of two (2, 4, 8, ...).");
        return false;
    }
    const std::vector<SensorGains>& known = KnownSensors();
    if (std::none_of(known.begin(), known.end(),
                     [&](const SensorGains& sensor) { return job.sensor == sensor.name; })) {
        host.ShowMessage("Unknown sensor " + job.sensor + " (known: " + SensorNames() + ").");
        return false;
    }
    const GenericSize& g = job.generic;
    in.ratio = job.ratio;
    if (job.protocol == QualityProtocol::Reduced) {
        if (!ResolveBands(job.fused, g, host, in.fused) ||
            !ResolveBands(job.reference, g, host, in.reference) ||
            !CheckBandSizes(in.fused, "fused", host) ||
            !CheckBandSizes(in.reference, "reference", host) ||
            !CheckPair(in.fused, in.reference, "reference", host)) {
            return false;
        }
        const RasterLayout& f = in.fused[0].layout;
        const RasterLayout& r = in.reference[0].layout;
        if (f.width != r.width || f.height != r.height) {
            host.ShowMessage("The fused image (" + SizeText(f.width, f.height) +
                             ") and the reference (" + SizeText(r.width, r.height) +
                             ") differ in size.");
            return false;
        }
        if (2 * static_cast<std::int64_t>(job.cut) >= std::min(f.width, f.height)) {
            host.ShowMessage("A border cut of " + std::to_string(job.cut) + " leaves no pixels.");
            return false;
        }
        return true;
    }
    // A headerless MS is typed with the pan's size: it is 1/ratio of it.
    const GenericSize msSize{g.width / job.ratio, g.height / job.ratio, g.bytes};
    if (!ResolvePan(job.pan, g, host, in.pan) || !ResolveBands(job.ms, msSize, host, in.ms) ||
        !CheckBandSizes(in.ms, "MS", host) || !PlaceMs(job, in, host)) {
        return false;
    }
    if (job.protocol != QualityProtocol::Full) return CheckPanAndMs(in, in.ratio, true, host);
    if (!ResolveBands(job.fused, g, host, in.fused) || !CheckBandSizes(in.fused, "fused", host) ||
        !CheckPair(in.fused, in.ms, "MS", host) || !CheckPanAndMs(in, in.ratio, false, host)) {
        return false;
    }
    const RasterLayout& f = in.fused[0].layout;
    if (f.width != in.pan.layout.width || f.height != in.pan.layout.height) {
        host.ShowMessage("The fused image (" + SizeText(f.width, f.height) + ") and the pan (" +
                         SizeText(in.pan.layout.width, in.pan.layout.height) + ") differ in size.");
        return false;
    }
    // The fused image lies on the pan's grid: the same part of it is measured.
    UsePart(in.fused, in.pan.left, in.pan.top, in.pan.width, in.pan.height);
    return true;
}

// Whether value is a sample of type: integral and inside the range for integer types.
bool FitsSamples(double value, SampleType type)
{
    if (!IsIntegerType(type)) return true;
    if (value != std::floor(value)) return false;
    switch (type) {
        case SampleType::UInt8:
            return value >= 0 && value <= 255;
        case SampleType::Int8:
            return value >= -128 && value <= 127;
        case SampleType::UInt16:
            return value >= 0 && value <= 65535;
        case SampleType::Int16:
            return value >= -32768 && value <= 32767;
        case SampleType::UInt32:
            return value >= 0 && value <= 4294967295.0;
        case SampleType::Int32:
            return value >= -2147483648.0 && value <= 2147483647.0;
        default:
            return true;
    }
}

// The no-data value of each band: the option for its input, else --nodata, else its file's own
// (its declared value and its mask). False after "The no-data value V does not fit the samples
// of PATH (TYPE)." for a given value.
bool NoDataOf(std::vector<BandSource>& bands, const NoDataChoice& own, const NoDataChoice& all,
              Host& host, std::vector<std::optional<double>>& values)
{
    const NoDataChoice& choice = own.given ? own : all;
    values.clear();
    for (BandSource& band : bands) {
        band.ownMask = !choice.given;
        if (!choice.given) {
            values.push_back(DeclaredNoData(band.layout.path));
            continue;
        }
        if (choice.none) {
            values.push_back(std::nullopt);
            continue;
        }
        if (!FitsSamples(choice.value, band.layout.type)) {
            host.ShowMessage("The no-data value " + ExactNumberText(choice.value) +
                             " does not fit the samples of " + band.layout.path + " (" +
                             SampleTypeName(band.layout.type) + ").");
            return false;
        }
        values.push_back(choice.value);
    }
    return true;
}

}  // namespace

bool ResolveQualityInputs(const QualityJob& job, Host& host, QualityInputs& in)
{
    if (!ResolveBandsAndSizes(job, host, in)) return false;
    const NoDataChoice none;
    std::vector<std::optional<double>> pan;
    if (!NoDataOf(in.fused, none, job.noData, host, in.fusedNoData) ||
        !NoDataOf(in.reference, none, job.noData, host, in.referenceNoData) ||
        !NoDataOf(in.ms, job.msNoData, job.noData, host, in.msNoData)) {
        return false;
    }
    if (job.protocol == QualityProtocol::Reduced) return true;
    std::vector<BandSource> panBand{in.pan};
    if (!NoDataOf(panBand, job.panNoData, job.noData, host, pan)) return false;
    in.pan = panBand[0];
    in.panNoData = pan[0];
    const auto sensor = SensorForBands(job.sensor, static_cast<int>(in.ms.size()), host);
    if (!sensor) return false;
    in.sensor = *sensor;
    return true;
}

}  // namespace lumesta
