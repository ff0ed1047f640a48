#include "raster/output/cog_file.h"

#include <cpl_conv.h>
#include <cpl_string.h>
#include <cpl_vsi.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

#include "raster/output/gdal_dataset.h"
#include "raster/output/gdal_library.h"
#include "raster/output/tile_deflate.h"

namespace lumesta {
namespace {

// GDAL's note on the layout, read by its driver and its validator (LAYOUT=COG). The space ends
// it on an even offset, where the first directory starts.
constexpr char kStructuralNote[] =
    "LAYOUT=IFDS_BEFORE_DATA\nBLOCK_ORDER=ROW_MAJOR\nBLOCK_LEADER=SIZE_AS_UINT4\n"
    "BLOCK_TRAILER=LAST_4_BYTES_REPEATED\nKNOWN_INCOMPATIBLE_EDITION=NO\n ";

enum TiffType : std::uint16_t {
    kAscii = 2,
    kShort = 3,
    kLong = 4,
    kDouble = 12,
    kLong8 = 16,
};

enum TiffTag : std::uint16_t {
    kNewSubfileType = 254,
    kImageWidth = 256,
    kImageLength = 257,
    kBitsPerSample = 258,
    kCompression = 259,
    kPhotometric = 262,
    kSamplesPerPixel = 277,
    kPlanarConfig = 284,
    kPredictor = 317,
    kTileWidth = 322,
    kTileLength = 323,
    kTileOffsets = 324,
    kTileByteCounts = 325,
    kExtraSamples = 338,
    kSampleFormat = 339,
    kGdalNoData = 42113,
};

constexpr std::uint16_t kDeflate = 8;
constexpr std::uint16_t kContiguous = 1;
constexpr std::uint32_t kReducedImage = 1;

// The fields of GDAL's COG that describe the image rather than its layout: the photometric
// interpretation and extra samples it chooses for the band count and type, pixel scale, tie point,
// transformation, the three geokey fields, GDAL's metadata (band descriptions, colour
// interpretations) and no data. Overviews repeat the first two and the last.
constexpr std::uint16_t kDescriptionTags[] = {
    kPhotometric, kExtraSamples, 33550, 33922, 34264, 34735, 34736, 34737, 42112, kGdalNoData};
constexpr std::uint16_t kOverviewTags[] = {kPhotometric, kExtraSamples, kGdalNoData};

// Tags below this are TIFF's own, whose values libtiff writes first, in tag order; the others
// (GeoTIFF's, GDAL's) follow in the order they were set.
constexpr std::uint16_t kFirstPrivateTag = 32768;

int TypeBytes(std::uint16_t type)
{
    switch (type) {
        case 1:
        case 2:
        case 6:
        case 7:
            return 1;
        case 3:
        case 8:
            return 2;
        case 4:
        case 9:
        case 11:
        case 13:
            return 4;
        case 5:
        case 10:
        case 12:
        case 16:
        case 17:
        case 18:
            return 8;
        default:
            return 0;
    }
}

template <typename T>
T Read(const std::uint8_t* bytes)
{
    T value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

template <typename T>
TiffField Field(std::uint16_t tag, std::uint16_t type, const std::vector<T>& values)
{
    TiffField field;
    field.tag = tag;
    field.type = type;
    field.count = values.size();
    field.values.resize(values.size() * sizeof(T));
    if (!values.empty()) std::memcpy(field.values.data(), values.data(), field.values.size());
    return field;
}

TiffField Short(std::uint16_t tag, std::uint16_t value)
{
    return Field(tag, kShort, std::vector<std::uint16_t>{value});
}

// A size as TIFF writers give it: a SHORT when it fits, else a LONG.
TiffField Size(std::uint16_t tag, int value)
{
    if (value <= 0xFFFF) return Short(tag, static_cast<std::uint16_t>(value));
    return Field(tag, kLong, std::vector<std::uint32_t>{static_cast<std::uint32_t>(value)});
}

TiffField Table(std::uint16_t tag, const std::vector<std::uint64_t>& values, bool bigTiff)
{
    if (bigTiff) return Field(tag, kLong8, values);
    std::vector<std::uint32_t> narrow(values.begin(), values.end());
    return Field(tag, kLong, narrow);
}

std::uint16_t SampleFormatOf(SampleType type)
{
    if (type == SampleType::Float32) return 3;
    return type == SampleType::Int16 ? 2 : 1;
}

// The directory of one level, fields by tag; the tile tables hold offsets and counts.
std::vector<TiffField> Directory(const CogDescription& d, std::size_t level,
                                 const std::vector<std::uint64_t>& offsets,
                                 const std::vector<std::uint64_t>& counts)
{
    const CogLevel& l = d.levels[level];
    const auto bands = static_cast<std::size_t>(d.bands);
    std::vector<TiffField> fields;
    if (level > 0)
        fields.push_back(Field(kNewSubfileType, kLong, std::vector<std::uint32_t>{kReducedImage}));
    fields.push_back(Size(kImageWidth, l.width));
    fields.push_back(Size(kImageLength, l.height));
    fields.push_back(Field(
        kBitsPerSample, kShort,
        std::vector<std::uint16_t>(bands, static_cast<std::uint16_t>(8 * SampleBytes(d.type)))));
    fields.push_back(Short(kCompression, kDeflate));
    fields.push_back(Short(kSamplesPerPixel, static_cast<std::uint16_t>(d.bands)));
    fields.push_back(Short(kPlanarConfig, kContiguous));
    fields.push_back(Short(kPredictor, static_cast<std::uint16_t>(PredictorOf(d.type))));
    fields.push_back(Short(kTileWidth, static_cast<std::uint16_t>(d.tileSide)));
    fields.push_back(Short(kTileLength, static_cast<std::uint16_t>(d.tileSide)));
    fields.push_back(Table(kTileOffsets, offsets, d.bigTiff));
    fields.push_back(Table(kTileByteCounts, counts, d.bigTiff));
    fields.push_back(
        Field(kSampleFormat, kShort, std::vector<std::uint16_t>(bands, SampleFormatOf(d.type))));
    for (const TiffField& field : level == 0 ? d.mainFields : d.overviewFields)
        fields.push_back(field);
    std::stable_sort(fields.begin(), fields.end(),
                     [](const TiffField& a, const TiffField& b) { return a.tag < b.tag; });
    return fields;
}

std::int64_t Even(std::int64_t position)
{
    return position + (position & 1);
}

// Lays out and writes the head; dataStart receives where the first tile goes.
class HeadBuilder {
public:
    explicit HeadBuilder(const CogDescription& d) : m_d(d), m_big(d.bigTiff) {}

    std::vector<std::uint8_t> Build()
    {
        const std::size_t levels = m_d.levels.size();
        std::vector<std::vector<std::uint64_t>> offsets(levels), counts(levels);
        for (std::size_t l = 0; l < levels; ++l) {
            offsets[l].assign(m_d.levels[l].tiles.size(), 0);
            counts[l].assign(m_d.levels[l].tiles.size(), 0);
        }
        // The sizes do not depend on the values: lay out once with zeros, then fill them in.
        const std::int64_t dataStart = Layout(offsets, counts);
        std::int64_t at = dataStart;
        for (std::size_t l = levels; l-- > 0;) {
            for (std::size_t t = 0; t < m_d.levels[l].tiles.size(); ++t) {
                const StoredTile& tile = m_d.levels[l].tiles[t];
                offsets[l][t] = static_cast<std::uint64_t>(at + 4);
                counts[l][t] = static_cast<std::uint64_t>(tile.length - 8);
                at += tile.length;
            }
        }
        Layout(offsets, counts);
        return Serialize(dataStart);
    }

private:
    int InlineBytes() const { return m_big ? 8 : 4; }

    bool IsTable(const TiffField& f) const
    {
        return f.tag == kTileOffsets || f.tag == kTileByteCounts;
    }

    std::int64_t Layout(const std::vector<std::vector<std::uint64_t>>& offsets,
                        const std::vector<std::vector<std::uint64_t>>& counts)
    {
        m_dirs.clear();
        m_dirAt.clear();
        m_valueAt.clear();
        std::int64_t at = Even((m_big ? 16 : 8) + static_cast<std::int64_t>(Note().size()));
        for (std::size_t l = 0; l < m_d.levels.size(); ++l) {
            m_dirs.push_back(Directory(m_d, l, offsets[l], counts[l]));
            const auto& fields = m_dirs.back();
            m_dirAt.push_back(at);
            at += m_big ? 8 + 20 * static_cast<std::int64_t>(fields.size()) + 8
                        : 2 + 12 * static_cast<std::int64_t>(fields.size()) + 4;
            m_valueAt.emplace_back(fields.size(), 0);
            for (std::size_t f : ValueOrder(l)) {
                if (IsTable(fields[f]) || Outside(fields[f]) == 0) continue;
                m_valueAt.back()[f] = at;
                at = Even(at + Outside(fields[f]));
            }
        }
        // The tile tables follow every directory, as GDAL places them.
        for (std::size_t l = 0; l < m_dirs.size(); ++l) {
            for (std::size_t f = 0; f < m_dirs[l].size(); ++f) {
                if (!IsTable(m_dirs[l][f]) || Outside(m_dirs[l][f]) == 0) continue;
                m_valueAt[l][f] = at;
                at = Even(at + Outside(m_dirs[l][f]));
            }
        }
        return at;
    }

    // The order of a directory's values after it, as GDAL's own files have them: TIFF's fields
    // by tag, then the private ones in the order GDAL wrote them.
    std::vector<std::size_t> ValueOrder(std::size_t level) const
    {
        const std::vector<TiffField>& fields = m_dirs[level];
        const std::vector<TiffField>& described = level == 0 ? m_d.mainFields : m_d.overviewFields;
        std::vector<std::size_t> order;
        for (std::size_t f = 0; f < fields.size(); ++f)
            if (fields[f].tag < kFirstPrivateTag) order.push_back(f);
        for (const TiffField& d : described) {
            for (std::size_t f = 0; f < fields.size(); ++f)
                if (d.tag >= kFirstPrivateTag && fields[f].tag == d.tag) order.push_back(f);
        }
        return order;
    }

    // The bytes a field's values take outside its directory entry (0 when they fit inside).
    std::int64_t Outside(const TiffField& f) const
    {
        const auto bytes = static_cast<std::int64_t>(f.values.size());
        return bytes > InlineBytes() ? bytes : 0;
    }

    std::string Note() const
    {
        char size[64];
        std::snprintf(size, sizeof size, "GDAL_STRUCTURAL_METADATA_SIZE=%06d bytes\n",
                      static_cast<int>(sizeof kStructuralNote - 1));
        return size + std::string(kStructuralNote);
    }

    template <typename T>
    void Put(std::int64_t at, T value)
    {
        std::memcpy(m_bytes.data() + at, &value, sizeof value);
    }

    void PutOffset(std::int64_t at, std::int64_t value)
    {
        if (m_big)
            Put(at, static_cast<std::uint64_t>(value));
        else
            Put(at, static_cast<std::uint32_t>(value));
    }

    std::vector<std::uint8_t> Serialize(std::int64_t dataStart)
    {
        m_bytes.assign(static_cast<std::size_t>(dataStart), 0);
        m_bytes[0] = 'I';
        m_bytes[1] = 'I';
        Put(2, static_cast<std::uint16_t>(m_big ? 43 : 42));
        if (m_big) {
            Put(4, static_cast<std::uint16_t>(8));
            Put(6, static_cast<std::uint16_t>(0));
        }
        PutOffset(m_big ? 8 : 4, m_dirAt[0]);
        const std::string note = Note();
        std::memcpy(m_bytes.data() + (m_big ? 16 : 8), note.data(), note.size());
        for (std::size_t l = 0; l < m_dirs.size(); ++l) {
            std::int64_t at = m_dirAt[l];
            const auto& fields = m_dirs[l];
            if (m_big)
                Put(at, static_cast<std::uint64_t>(fields.size()));
            else
                Put(at, static_cast<std::uint16_t>(fields.size()));
            at += m_big ? 8 : 2;
            for (std::size_t f = 0; f < fields.size(); ++f) {
                const TiffField& field = fields[f];
                Put(at, field.tag);
                Put(at + 2, field.type);
                if (m_big)
                    Put(at + 4, static_cast<std::uint64_t>(field.count));
                else
                    Put(at + 4, static_cast<std::uint32_t>(field.count));
                const std::int64_t value = at + (m_big ? 12 : 8);
                if (Outside(field) == 0) {
                    if (!field.values.empty())
                        std::memcpy(m_bytes.data() + value, field.values.data(),
                                    field.values.size());
                } else {
                    PutOffset(value, m_valueAt[l][f]);
                    std::memcpy(m_bytes.data() + m_valueAt[l][f], field.values.data(),
                                field.values.size());
                }
                at += m_big ? 20 : 12;
            }
            PutOffset(at, l + 1 < m_dirs.size() ? m_dirAt[l + 1] : 0);
        }
        return std::move(m_bytes);
    }

    const CogDescription& m_d;
    bool m_big;
    std::vector<std::vector<TiffField>> m_dirs;
    std::vector<std::int64_t> m_dirAt;
    std::vector<std::vector<std::int64_t>> m_valueAt;
    std::vector<std::uint8_t> m_bytes;
};

bool WriteAll(int fd, const std::uint8_t* bytes, std::int64_t count)
{
    while (count > 0) {
        const ssize_t done =
            ::write(fd, bytes, static_cast<std::size_t>(std::min<std::int64_t>(count, 1 << 30)));
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) return false;
        bytes += done;
        count -= done;
    }
    return true;
}

// Copies length bytes of store from offset to out's current position: in the kernel where the
// two files allow it, else through a buffer.
bool CopyRange(int store, std::int64_t offset, int out, std::int64_t length,
               std::vector<std::uint8_t>& buffer)
{
    bool kernel = true;
    while (length > 0) {
        if (kernel) {
            loff_t from = offset;
            const ssize_t done = ::copy_file_range(
                store, &from, out, nullptr,
                static_cast<std::size_t>(std::min<std::int64_t>(length, 1 << 30)), 0);
            if (done > 0) {
                offset += done;
                length -= done;
                continue;
            }
            if (done < 0 && errno == EINTR) continue;
            if (done == 0) return false;  // the store ends early
            if (errno != EINVAL && errno != EXDEV && errno != ENOSYS && errno != EOPNOTSUPP &&
                errno != EBADF)
                return false;
            kernel = false;
        }
        buffer.resize(std::size_t{1} << 20);
        const ssize_t got = ::pread(store, buffer.data(),
                                    static_cast<std::size_t>(std::min<std::int64_t>(
                                        length, static_cast<std::int64_t>(buffer.size()))),
                                    offset);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0 || !WriteAll(out, buffer.data(), got)) return false;
        offset += got;
        length -= got;
    }
    return true;
}

std::string Xml(const std::string& text)
{
    char* escaped = CPLEscapeString(text.c_str(), -1, CPLES_XML);
    std::string result = escaped;
    CPLFree(escaped);
    return result;
}

// A virtual dataset of spec's size and description whose bands read as zeros.
std::string VirtualDatasetXml(const BandFileSpec& spec)
{
    std::string xml = "<VRTDataset rasterXSize=\"" + std::to_string(spec.width) +
                      "\" rasterYSize=\"" + std::to_string(spec.height) + "\">";
    const Georeference& geo = spec.geo;
    if (geo.valid) {
        const std::string wkt = CrsWktOf(geo);
        if (!wkt.empty()) xml += "<SRS>" + Xml(wkt) + "</SRS>";
        xml += "<GeoTransform>" + ExactNumberText(geo.originX) + "," +
               ExactNumberText(geo.pixelWidth) + "," + ExactNumberText(geo.rowSkewX) + "," +
               ExactNumberText(geo.originY) + "," + ExactNumberText(geo.columnSkewY) + "," +
               ExactNumberText(geo.pixelHeight) + "</GeoTransform>";
    }
    for (int k = 1; k <= spec.bands; ++k) {
        xml += "<VRTRasterBand dataType=\"" +
               std::string(GDALGetDataTypeName(GdalTypeOf(spec.type))) + "\" band=\"" +
               std::to_string(k) + "\">";
        if (!spec.bandNames.empty())
            xml += "<Description>" + Xml(spec.bandNames[static_cast<std::size_t>(k - 1)]) +
                   "</Description>";
        if (spec.noData) xml += "<NoDataValue>" + ExactNumberText(*spec.noData) + "</NoDataValue>";
        xml += "</VRTRasterBand>";
    }
    return xml + "</VRTDataset>";
}

// The fields kept from a classic little-endian TIFF's first directory (what GDAL writes on this
// machine); false when the bytes are not one.
bool ReadDescriptionFields(const std::uint8_t* bytes, std::size_t size,
                           std::vector<TiffField>& fields)
{
    if (size < 8 || bytes[0] != 'I' || bytes[1] != 'I' || Read<std::uint16_t>(bytes + 2) != 42)
        return false;
    const std::uint32_t dir = Read<std::uint32_t>(bytes + 4);
    if (dir > size - 2) return false;
    const std::uint16_t count = Read<std::uint16_t>(bytes + dir);
    if (dir + 2 + std::size_t{12} * count > size) return false;
    std::vector<std::uint32_t> valueAt;
    for (std::uint16_t i = 0; i < count; ++i) {
        const std::uint8_t* entry = bytes + dir + 2 + std::size_t{12} * i;
        TiffField field;
        field.tag = Read<std::uint16_t>(entry);
        if (std::find(std::begin(kDescriptionTags), std::end(kDescriptionTags), field.tag) ==
            std::end(kDescriptionTags))
            continue;
        field.type = Read<std::uint16_t>(entry + 2);
        field.count = Read<std::uint32_t>(entry + 4);
        const std::uint64_t length =
            field.count * static_cast<std::uint64_t>(TypeBytes(field.type));
        if (TypeBytes(field.type) == 0 || length > size) return false;
        const std::uint8_t* values = entry + 8;
        if (length > 4) {
            const std::uint32_t at = Read<std::uint32_t>(entry + 8);
            if (at > size || length > size - at) return false;
            values = bytes + at;
        }
        field.values.assign(values, values + length);
        fields.push_back(std::move(field));
        valueAt.push_back(length > 4 ? Read<std::uint32_t>(entry + 8) : 0);
    }
    // In the order their values lie in the file.
    std::vector<std::size_t> order(fields.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return valueAt[a] < valueAt[b]; });
    std::vector<TiffField> sorted;
    for (std::size_t i : order) sorted.push_back(std::move(fields[i]));
    fields = std::move(sorted);
    return true;
}

}  // namespace

bool GdalDescriptionFields(const BandFileSpec& spec, std::vector<TiffField>& main,
                           std::vector<TiffField>& overview)
{
    UseGdal();
    static std::atomic<unsigned> made{0};
    const std::string name = "/vsimem/lumesta_cog_fields_" + std::to_string(made++) + ".tif";
    ClearGdalFailure();
    {
        // GDAL's COG of a one-pixel image described as the result is: its first directory holds
        // what the result's must.
        BandFileSpec pixel = spec;
        pixel.width = 1;
        pixel.height = 1;
        const DatasetPtr source(GDALOpen(VirtualDatasetXml(pixel).c_str(), GA_ReadOnly));
        if (!source) return false;
        GdalOptions options;
        options.Set("COMPRESS", "DEFLATE")
            .Set("PREDICTOR", PredictorOf(spec.type) == 3 ? "FLOATING_POINT" : "STANDARD")
            .Set("OVERVIEWS", "NONE");
        const DatasetPtr copy(GDALCreateCopy(GDALGetDriverByName("COG"), name.c_str(), source.get(),
                                             FALSE, options.List(), nullptr, nullptr));
        if (!copy) return false;
    }
    VSIUnlink((name + ".aux.xml").c_str());
    vsi_l_offset size = 0;
    GByte* bytes = VSIGetMemFileBuffer(name.c_str(), &size, TRUE);
    if (bytes == nullptr) return false;
    main.clear();
    const bool ok = ReadDescriptionFields(bytes, static_cast<std::size_t>(size), main);
    CPLFree(bytes);
    overview.clear();
    for (const TiffField& field : main) {
        if (std::find(std::begin(kOverviewTags), std::end(kOverviewTags), field.tag) !=
            std::end(kOverviewTags))
            overview.push_back(field);
    }
    return ok && LastGdalFailure().empty();
}

bool NeedsBigTiff(const CogDescription& description)
{
    // GDAL's COG driver chose BigTIFF for results whose levels hold over 2 GB of samples
    // uncompressed (BIGTIFF=IF_SAFER); results keep that form.
    constexpr double kSaferBytes = 2e9;
    double samples = 0;
    for (const CogLevel& level : description.levels)
        samples += static_cast<double>(level.width) * level.height * description.bands *
                   SampleBytes(description.type);
    if (samples > kSaferBytes) return true;
    CogDescription classic = description;
    classic.bigTiff = false;
    auto end = static_cast<std::int64_t>(CogHead(classic).size());
    for (const CogLevel& level : description.levels)
        for (const StoredTile& tile : level.tiles) end += tile.length;
    return end > std::int64_t{0xFFFFFFFF};
}

std::vector<std::uint8_t> CogHead(const CogDescription& description)
{
    return HeadBuilder(description).Build();
}

void WrapTile(std::vector<std::uint8_t>& tile)
{
    const std::size_t bytes = tile.size() - 2 * kTileMargin;
    const auto size = static_cast<std::uint32_t>(bytes);
    std::memcpy(tile.data(), &size, 4);
    std::uint8_t* end = tile.data() + kTileMargin + bytes;
    std::memset(end, 0, kTileMargin);
    std::memcpy(end, end - std::min(bytes, kTileMargin), std::min(bytes, kTileMargin));
}

bool WriteCogFile(int out, int store, const CogDescription& description,
                  const std::function<bool()>& keepGoing, bool& cancelled)
{
    cancelled = false;
    const std::vector<std::uint8_t> head = CogHead(description);
    if (!WriteAll(out, head.data(), static_cast<std::int64_t>(head.size()))) return false;
    std::vector<std::uint8_t> buffer;
    constexpr std::size_t kTilesBetweenAsks = 64;
    for (std::size_t l = description.levels.size(); l-- > 0;) {
        const std::vector<StoredTile>& tiles = description.levels[l].tiles;
        std::int64_t runStart = 0, runLength = 0;
        for (std::size_t t = 0; t <= tiles.size(); ++t) {
            if (t % kTilesBetweenAsks == 0 && keepGoing && !keepGoing()) {
                cancelled = true;
                return false;
            }
            // Tiles stored one after the other are copied as one range.
            if (t < tiles.size() && runLength > 0 && tiles[t].offset == runStart + runLength) {
                runLength += tiles[t].length;
                continue;
            }
            if (runLength > 0 && !CopyRange(store, runStart, out, runLength, buffer)) return false;
            if (t < tiles.size()) {
                runStart = tiles[t].offset;
                runLength = tiles[t].length;
            }
        }
    }
    return true;
}

}  // namespace lumesta
