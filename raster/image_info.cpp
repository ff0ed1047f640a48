#include "core/input_file.h"
#include "raster/image_info.h"

#include <tiffio.h>
#include <xtiffio.h>

#include <cstdint>
#include <limits>

#include "raster/file_name.h"
#include "raster/gdal/gdal_source.h"
#include "raster/reader_choice.h"
#include "raster/text_reader.h"
#include "raster/tiff_handle.h"

namespace lumesta {
namespace {

enum class Reader { Generic, Byte, Int16 };

const char kEofReached[] = "EOF is reached while reading image's header file.";

// Words and names longer than this are consumed but cut, so a broken header cannot make a
// field grow without bound.
constexpr std::size_t kMaxKept = 254;
// The band names line is searched in chunks of this many bytes, as a 255-byte line buffer
// would read it.
constexpr std::size_t kNameLineChunk = 254;

std::string UpperAscii(std::string text)
{
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

std::string FirstThreeLower(const std::string& word)
{
    return LastFourLower(word.substr(0, 3));
}

// Skips past the next separator and reads an integer after it. False when the end of the file
// came first; a value that is no number leaves the field as it was.
bool SkipAndReadInt(TextFileReader& in, char separator, int& value)
{
    if (!in.SkipPast(separator)) return false;
    return in.ReadInt(value) != TextFileReader::NumberRead::End;
}

bool SkipAndReadWord(TextFileReader& in, char separator, std::string& word)
{
    return in.SkipPast(separator) && in.ReadWord(word, kMaxKept);
}

// The first word of the header, kept as read and upper-cased; true when it says ENVI.
bool ReadEnviKind(TextFileReader& in, CImageInfo& info)
{
    std::string word;
    if (!in.ReadWord(word, kMaxKept)) return false;
    info.firstWord = word;
    info.headerKind = UpperAscii(word);
    return info.headerKind == "ENVI";
}

// The entries are found by counting '=': description, samples, lines, bands, header offset,
// file type, data type, interleave. False when the file ends before the interleave word.
bool ReadEnviEntries(TextFileReader& in, CImageInfo& info)
{
    if (!in.SkipPast('=')) return false;
    if (!SkipAndReadInt(in, '=', info.width)) return false;
    if (!SkipAndReadInt(in, '=', info.height)) return false;
    if (!SkipAndReadInt(in, '=', info.bands)) return false;
    if (!in.SkipPast('=') || !in.SkipPast('=')) return false;
    if (!SkipAndReadInt(in, '=', info.dataType)) return false;
    return SkipAndReadWord(in, '=', info.interleave);
}

// The band-count gate of each reader before the names. False after the message when the count
// is refused; otherwise nameCount tells how many names to read (0: none).
bool PassBandGate(int bands, Reader reader, Host& host, int& nameCount)
{
    static const char kMaxEight[] = "Please check the number of bands, max. number of bands is 8.";
    static const char kOneOrThreeToEight[] =
        "Please check the number of bands, can be either 1, or 3-8.";
    nameCount = 0;
    if (reader == Reader::Generic && bands > 8) {
        host.ShowMessage(kMaxEight);
        return false;
    }
    if (reader == Reader::Byte && (bands == 2 || bands > 8)) {
        host.ShowMessage(kOneOrThreeToEight);
        return false;
    }
    if (reader == Reader::Generic && bands >= 2) nameCount = bands;
    if (reader == Reader::Byte && bands >= 3) nameCount = bands;
    if (reader == Reader::Int16 && bands == 4) nameCount = 4;
    return true;
}

// One band name up to its delimiter; leading spaces and line ends are skipped, everything
// after them up to the delimiter belongs to the name. False at the end of the file.
bool ReadBandName(TextFileReader& in, char delimiter, std::string& name)
{
    name.clear();
    int c = in.Get();
    while (c == ' ' || c == '\r' || c == '\n') c = in.Get();
    for (; c != EOF; c = in.Get()) {
        if (c == static_cast<unsigned char>(delimiter)) return true;
        if (name.size() < kMaxKept) name.push_back(static_cast<char>(c));
    }
    return false;
}

// The names follow the line whose 1st, 2nd and 6th characters are 'b', 'a', 'n'; without such
// a line the bands are called "Band 1", "Band 2", ...
void ReadBandNames(TextFileReader& in, CImageInfo& info, std::string* names, int count, Host& host)
{
    std::string chunk;
    bool found = false;
    while (!found && in.ReadLineChunk(chunk, kNameLineChunk)) {
        found = chunk.size() >= 6 && chunk[0] == 'b' && chunk[1] == 'a' && chunk[5] == 'n';
    }
    if (!found) {
        for (int i = 0; i < count; ++i) names[i] = "Band " + std::to_string(i + 1);
        return;
    }
    for (int i = 0; i < count; ++i) {
        const char delimiter = i + 1 < count ? ',' : '}';
        if (!ReadBandName(in, delimiter, info.nameScratch)) {
            host.ShowMessage(kEofReached);
            return;
        }
        names[i] = info.nameScratch;
    }
}

bool DataTypeAccepted(int dataType, Reader reader)
{
    switch (reader) {
        case Reader::Generic:
            return dataType == 1 || dataType == 2 || dataType == 12;
        case Reader::Byte:
            return dataType == 1;
        case Reader::Int16:
            return dataType == 2 || dataType == 12;
    }
    return false;
}

int CheckEnviEntries(const CImageInfo& info, Reader reader, Host& host)
{
    static const char kDataType[] = "Please check the data type required.";
    static const char kInterleave[] = "Only BSQ (interleave) is allowed.";
    static const char kByteBands[] = "Total band(s) in the input image should be either 1, or 3-8.";
    static const char kInt16Bands[] = "Total bands in this image should be either 1 or 4.";
    if (!DataTypeAccepted(info.dataType, reader)) {
        host.ShowMessage(kDataType);
        return 0;
    }
    if (info.interleave != "bsq") {
        host.ShowMessage(kInterleave);
        return 0;
    }
    const int bands = info.bands;
    if (reader == Reader::Byte && !(bands == 1 || (bands >= 3 && bands <= 8))) {
        host.ShowMessage(kByteBands);
        return 0;
    }
    if (reader == Reader::Int16 && !(bands == 1 || bands == 4)) {
        host.ShowMessage(kInt16Bands);
        return 0;
    }
    return reader == Reader::Generic ? 1 : bands;
}

int ReadEnvi(CImageInfo& info, const std::string& path, Reader reader, Host& host)
{
    static const char kNotEnvi[] = "To make sure this is a right ENVI header file.";
    const FilePtr file = OpenFileForReading(WithoutLastFour(path) + ".hdr");
    if (!file) return 0;  // the callers give their own message
    TextFileReader in(file.get());
    if (!ReadEnviKind(in, info)) {
        host.ShowMessage(kNotEnvi);
        return 0;
    }
    if (!ReadEnviEntries(in, info)) {
        host.ShowMessage(kEofReached);
        return 0;
    }
    int nameCount = 0;
    if (!PassBandGate(info.bands, reader, host, nameCount)) return 0;
    std::string* names = reader == Reader::Int16 ? info.bandNames4 : info.bandNames8;
    if (nameCount > 0) ReadBandNames(in, info, names, nameCount, host);
    return CheckEnviEntries(info, reader, host);
}

// Lines: file format, file title, data type, file type, columns, rows, ref. system,
// ref. units, unit dist., min. X, max. X, min. Y, max. Y. Values are found by counting ':'
// and line ends. False when the file ends first.
bool ReadIdrisiEntries(TextFileReader& in, CImageInfo& info, bool withCoordinates,
                       std::string& dataType, std::string& fileType)
{
    if (!in.SkipPast('\n') || !in.SkipPast('\n')) return false;
    if (!SkipAndReadWord(in, ':', dataType) || !SkipAndReadWord(in, ':', fileType)) return false;
    if (!SkipAndReadInt(in, ':', info.width) || !SkipAndReadInt(in, ':', info.height)) return false;
    for (int i = 0; i < 4; ++i) {
        if (!in.SkipPast('\n')) return false;
    }
    if (!withCoordinates) return true;
    return SkipAndReadWord(in, ':', info.minX) && SkipAndReadWord(in, ':', info.maxX) &&
           SkipAndReadWord(in, ':', info.minY) && SkipAndReadWord(in, ':', info.maxY);
}

bool IdrisiDataTypeAccepted(const std::string& dataType, Reader reader, Host& host)
{
    static const char kByte[] = "Data type should be byte.";
    static const char kInteger[] = "Data type should be integer.";
    static const char kNotRealOrRgb[] = "Data type should not be real (i.e., float) or RGB24";
    const std::string start = FirstThreeLower(dataType);
    const char* refusal = nullptr;
    if (reader == Reader::Byte && start != "byt") refusal = kByte;
    if (reader == Reader::Int16 && start != "int") refusal = kInteger;
    if (reader == Reader::Generic && (start == "rea" || start == "rgb")) refusal = kNotRealOrRgb;
    if (refusal != nullptr) host.ShowMessage(refusal);
    return refusal == nullptr;
}

int ReadIdrisi(CImageInfo& info, const std::string& path, Reader reader, Host& host)
{
    static const char kNotBinary[] = "File type should be binary.";
    const FilePtr file = OpenFileForReading(WithoutLastFour(path) + ".rdc");
    if (!file) return 0;  // the callers give their own message
    TextFileReader in(file.get());
    std::string dataType;
    std::string fileType;
    if (!ReadIdrisiEntries(in, info, reader != Reader::Generic, dataType, fileType)) {
        host.ShowMessage(kEofReached);
        return 0;
    }
    if (!IdrisiDataTypeAccepted(dataType, reader, host)) return 0;
    if (FirstThreeLower(fileType) != "bin") {
        host.ShowMessage(kNotBinary);
        return 0;
    }
    return 1;
}

int ClampToInt(std::uint32_t value)
{
    constexpr auto kMax = static_cast<std::uint32_t>(std::numeric_limits<int>::max());
    return static_cast<int>(value > kMax ? kMax : value);
}

// Width, height, bits per sample and samples per pixel; false when the file is no TIFF.
bool ReadTiffTags(const std::string& path, CImageInfo& info)
{
    SilenceTiffMessages();
    if (!IsRegularFile(path)) return false;
    TIFF* tiff = XTIFFOpen(path.c_str(), "r");
    if (tiff == nullptr) return false;
    std::uint32_t width = 0;
    std::uint32_t length = 0;
    std::uint16_t bitsPerSample = 0;
    std::uint16_t samplesPerPixel = 0;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &length);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bitsPerSample);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samplesPerPixel);
    XTIFFClose(tiff);
    info.width = ClampToInt(width);
    info.height = ClampToInt(length);
    info.bitsPerSample = bitsPerSample;
    info.samplesPerPixel = samplesPerPixel;
    return true;
}

int ReadGeoTiff(CImageInfo& info, const std::string& path, Reader reader, Host& host)
{
    static const char kCannotRead[] = "Error: Reading GeoTIFF.";
    static const char kNot8Bit[] = "Error: Not reading 8-bit GeoTIFF image.";
    static const char kNotSingleBand[] = "Error: GeoTIFF image should not have multiple bands.";
    static const char kNot16Bit[] = "Error: Not reading 16-bit GeoTIFF image";
    static const char kNotOneOrFour[] = "Error: GeoTIFF image should have 1 or 4 bands.";
    if (!ReadTiffTags(path, info)) {
        host.ShowMessage(kCannotRead);
        return 0;
    }
    const char* refusal = nullptr;
    if (reader == Reader::Byte) {
        if (info.bitsPerSample != 8)
            refusal = kNot8Bit;
        else if (info.samplesPerPixel >= 2)
            refusal = kNotSingleBand;
    } else {
        if (info.bitsPerSample != 16)
            refusal = kNot16Bit;
        else if (info.samplesPerPixel != 1 && info.samplesPerPixel != 4)
            refusal = kNotOneOrFour;
    }
    if (refusal != nullptr) {
        host.ShowMessage(refusal);
        return 0;
    }
    if (reader == Reader::Byte) {
        info.bands = 1;
    } else {
        info.bands = info.samplesPerPixel;
        for (int i = 0; i < 4; ++i) info.bandNames4[i] = "Band " + std::to_string(i + 1);
    }
    return 1;
}

// Images read through GDAL by name (".tiff", ".jp2", ".vrt", ...) pass the same gates as a
// GeoTIFF: 8-bit single-band data for the 8-bit tools, 16-bit integer data in 1 or 4 bands for
// the 16-bit tools. Band names are GDAL's band descriptions where the file has them.
int ReadGdalHeader(CImageInfo& info, const std::string& path, Reader reader, Host& host)
{
    std::string error;
    const std::unique_ptr<RasterSource> source = OpenGdalSource(path, error);
    if (!source) {
        host.ShowMessage(error);
        return 0;
    }
    const RasterDescription& d = source->Description();
    info.width = d.width;
    info.height = d.height;
    info.bitsPerSample = 8 * SampleBytes(d.type);
    info.samplesPerPixel = d.bands;
    std::string refusal;
    if (reader == Reader::Byte) {
        if (d.type != SampleType::UInt8)
            refusal = "Error: " + path + " does not hold 8-bit samples.";
        else if (d.bands >= 2)
            refusal = "Error: " + path + " should not have multiple bands.";
    } else if (d.type != SampleType::UInt16 && d.type != SampleType::Int16) {
        refusal = "Error: " + path + " does not hold 16-bit integer samples.";
    } else if (d.bands != 1 && d.bands != 4) {
        refusal = "Error: " + path + " should have 1 or 4 bands.";
    }
    if (!refusal.empty()) {
        host.ShowMessage(refusal);
        return 0;
    }
    info.bands = d.bands;
    if (reader == Reader::Int16) {
        for (int i = 0; i < d.bands && i < 4; ++i) info.bandNames4[i] = d.bandNames[i];
    }
    return 1;
}

int ReadAnyHeader(CImageInfo& info, const std::string& path, Reader reader, Host& host)
{
    info.extension = LastFourLower(path);
    info.bands = 0;
    info.dataType = 0;
    if (info.extension == ".tif" && reader != Reader::Generic) {
        return ReadGeoTiff(info, path, reader, host);
    }
    if (reader != Reader::Generic && IsGdalName(path)) return ReadGdalHeader(info, path, reader, host);
    if (info.extension == ".img") return ReadEnvi(info, path, reader, host);
    if (info.extension == ".rst") return ReadIdrisi(info, path, reader, host);
    return 1;  // a generic image matrix: its size comes from the dialog
}

}  // namespace

int CImageInfo::ReadHeader(const std::string& path, Host& host)
{
    return ReadAnyHeader(*this, path, Reader::Generic, host);
}

int CImageInfo::ReadHeader8(const std::string& path, Host& host)
{
    return ReadAnyHeader(*this, path, Reader::Byte, host);
}

int CImageInfo::ReadHeader16(const std::string& path, Host& host)
{
    return ReadAnyHeader(*this, path, Reader::Int16, host);
}

bool HeaderFileOpens(const std::string& path, Host& host)
{
    static const std::string kCannotOpen = "Cannot open the header file ";
    const std::string extension = LastFourLower(path);
    if (extension != ".img" && extension != ".rst") return true;
    const std::string header = WithoutLastFour(path) + (extension == ".img" ? ".hdr" : ".rdc");
    if (OpenFileForReading(header)) return true;
    host.ShowMessage(kCannotOpen + header + ".");
    return false;
}

}  // namespace lumesta
