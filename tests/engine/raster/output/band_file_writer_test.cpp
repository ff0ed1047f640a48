// Multi-band results in every format read back sample for sample, with their band names, no
// data and place on the ground, by GDAL and by the program's own readers; the COG is valid and
// laid out as promised; failures leave a message and no file.

#include "raster/output/band_file_writer.h"

#include <gdal.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <ogr_srs_api.h>
#include <sys/resource.h>
#include <tiffio.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>

#include "raster/georeference.h"
#include "raster/raster_layout.h"
#include "raster/sample_raster.h"
#include "tests/support/fake_host.h"
#include "tests/support/geotiff_builder.h"
#include "tests/support/temp_dir.h"

namespace lumesta::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr int kWidth = 600;
constexpr int kHeight = 530;

// Sample (x, y) of band k: every value of the type's range, its extremes included.
double SampleAt(SampleType type, int k, int x, int y)
{
    const int i = (y * kWidth + x) * 7 + k * 1001;
    switch (type) {
        case SampleType::UInt8:
            return i % 256;
        case SampleType::UInt16:
            return i % 65536;
        case SampleType::Int16:
            return i % 65536 - 32768;
        default:
            return (i % 20011) * 0.25 - 1000.5;
    }
}

BandFileSpec Spec(BandFileFormat format, SampleType type)
{
    BandFileSpec spec;
    spec.format = format;
    spec.width = kWidth;
    spec.height = kHeight;
    spec.bands = 3;
    spec.type = type;
    spec.bandNames = {"Coastal, deep", "Red Edge", "NIR2"};
    spec.noData = type == SampleType::Int16 ? -32768 : 0;
    spec.geo.valid = true;
    spec.geo.originX = 500012.5;
    spec.geo.originY = 4200000;
    spec.geo.pixelWidth = 0.5;
    spec.geo.pixelHeight = -0.5;
    spec.geo.epsg = 32618;
    return spec;
}

// Writes the test image in strips of 37 rows as doubles, commits it; the path written.
std::string WriteImage(const BandFileSpec& spec, const std::string& path, FakeHost& host)
{
    RunFiles files;
    auto writer = OpenStagedBandFileWriter(spec, path, files, host);
    if (!writer) return {};
    std::vector<std::vector<double>> strip(static_cast<std::size_t>(spec.bands));
    for (int row = 0; row < spec.height; row += 37) {
        const int rows = std::min(37, spec.height - row);
        std::vector<const double*> pointers;
        for (int k = 0; k < spec.bands; ++k) {
            auto& band = strip[static_cast<std::size_t>(k)];
            band.clear();
            for (int y = row; y < row + rows; ++y)
                for (int x = 0; x < spec.width; ++x) band.push_back(SampleAt(spec.type, k, x, y));
            pointers.push_back(band.data());
        }
        if (!writer->WriteRows(pointers.data(), rows)) return {};
    }
    if (writer->Finish({}) != RunOutcome::Finished) return {};
    writer.reset();
    return files.Commit() ? path : std::string();
}

std::vector<std::string> FolderNames(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Checks through GDAL what every format must hold.
void ExpectGdalReadsBack(const std::string& path, const BandFileSpec& spec)
{
    GDALAllRegister();
    GDALDatasetH dataset = GDALOpen(path.c_str(), GA_ReadOnly);
    ASSERT_NE(dataset, nullptr);
    ASSERT_EQ(GDALGetRasterCount(dataset), spec.bands);
    double transform[6];
    ASSERT_EQ(GDALGetGeoTransform(dataset, transform), CE_None);
    EXPECT_EQ(transform[0], 500012.5);
    EXPECT_EQ(transform[1], 0.5);
    EXPECT_EQ(transform[3], 4200000);
    EXPECT_EQ(transform[5], -0.5);
    OGRSpatialReferenceH srs = GDALGetSpatialRef(dataset);
    ASSERT_NE(srs, nullptr);
    EXPECT_STREQ(OSRGetAuthorityCode(srs, nullptr), "32618");
    std::vector<double> row(kWidth);
    for (int k = 0; k < spec.bands; ++k) {
        GDALRasterBandH band = GDALGetRasterBand(dataset, k + 1);
        EXPECT_EQ(GDALGetRasterDataType(band),
                  GDALGetDataTypeByName(spec.type == SampleType::UInt8    ? "Byte"
                                        : spec.type == SampleType::UInt16 ? "UInt16"
                                        : spec.type == SampleType::Int16  ? "Int16"
                                                                          : "Float32"));
        // ENVI's brace lists cannot hold a comma inside a name.
        const std::string name = spec.bandNames[static_cast<std::size_t>(k)];
        const std::string expectedName =
            spec.format == BandFileFormat::Envi && k == 0 ? "Coastal  deep" : name;
        EXPECT_EQ(GDALGetDescription(band), expectedName);
        int hasNoData = 0;
        EXPECT_EQ(GDALGetRasterNoDataValue(band, &hasNoData), *spec.noData);
        EXPECT_TRUE(hasNoData);
        int differing = 0;
        for (int y = 0; y < kHeight; ++y) {
            ASSERT_EQ(GDALRasterIO(band, GF_Read, 0, y, kWidth, 1, row.data(), kWidth, 1,
                                   GDT_Float64, 0, 0),
                      CE_None);
            for (int x = 0; x < kWidth; ++x) differing += row[x] != SampleAt(spec.type, k, x, y);
        }
        EXPECT_EQ(differing, 0) << "band " << k;
    }
    GDALClose(dataset);
}

class BandFileWriterTest : public ::testing::TestWithParam<std::tuple<BandFileFormat, SampleType>> {
protected:
    TempDir dir;
    FakeHost host;
};

TEST_P(BandFileWriterTest, ReadsBackWithNamesNoDataAndPlaceLeavingOnlyItsFiles)
{
    const auto [format, type] = GetParam();
    const BandFileSpec spec = Spec(format, type);
    const std::string path = dir.File(format == BandFileFormat::Envi ? "fused.img" : "fused.tif");
    ASSERT_EQ(WriteImage(spec, path, host), path) << ::testing::PrintToString(host.Messages());
    EXPECT_THAT(host.Messages(), ElementsAre());
    ExpectGdalReadsBack(path, spec);
    if (format == BandFileFormat::Envi) {
        EXPECT_THAT(FolderNames(dir.Path()), ElementsAre("fused.hdr", "fused.img"));
    } else {
        EXPECT_THAT(FolderNames(dir.Path()), ElementsAre("fused.tif"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryFormatAndType, BandFileWriterTest,
    ::testing::Combine(::testing::Values(BandFileFormat::Envi, BandFileFormat::GeoTiff,
                                         BandFileFormat::Cog),
                       ::testing::Values(SampleType::UInt8, SampleType::UInt16, SampleType::Int16,
                                         SampleType::Float32)));

TEST(EnviResultTest, TheProgramsOwnReadersTakeItsLayoutPlaceAndSamples)
{
    TempDir dir;
    FakeHost host;
    const BandFileSpec spec = Spec(BandFileFormat::Envi, SampleType::UInt16);
    const std::string path = WriteImage(spec, dir.File("ms.img"), host);
    ASSERT_FALSE(path.empty());
    RasterLayout layout;
    ASSERT_TRUE(DescribeRaster(path, {}, layout, host));
    EXPECT_EQ(layout.width, kWidth);
    EXPECT_EQ(layout.height, kHeight);
    EXPECT_EQ(layout.bands, 3);
    EXPECT_EQ(layout.type, SampleType::UInt16);
    BandRowReader reader;
    ASSERT_TRUE(reader.Open(layout, 2, host));
    std::vector<double> row(kWidth);
    ASSERT_TRUE(reader.ReadRow(kHeight - 1, row.data()));
    EXPECT_EQ(row[kWidth - 1], SampleAt(SampleType::UInt16, 2, kWidth - 1, kHeight - 1));
    const Georeference geo = ReadEnviGeoreference(dir.File("ms.hdr"));
    ASSERT_TRUE(geo.valid);
    EXPECT_EQ(geo.originX, 500012.5);
    EXPECT_EQ(geo.pixelHeight, -0.5);
    EXPECT_EQ(geo.epsg, 32618);
    EXPECT_THAT(ReadFileBytes(dir.File("ms.hdr")),
                HasSubstr("map info = {UTM, 1, 1, 500012.5, 4200000, 0.5, 0.5, 18, North, WGS-84, "
                          "units=Meters}\n"));
}

struct TiffFacts {
    std::uint32_t tileWidth = 0;
    std::uint16_t compression = 0;
    std::uint16_t predictor = 0;
    std::vector<std::uint32_t> widths;  // of every directory: the image, then its overviews
};

TiffFacts ReadTiffFacts(const std::string& path)
{
    TiffFacts facts;
    TIFF* tiff = TIFFOpen(path.c_str(), "r");
    if (tiff == nullptr) return facts;
    TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &facts.tileWidth);
    TIFFGetField(tiff, TIFFTAG_COMPRESSION, &facts.compression);
    TIFFGetField(tiff, TIFFTAG_PREDICTOR, &facts.predictor);
    do {
        std::uint32_t width = 0;
        TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
        facts.widths.push_back(width);
    } while (TIFFReadDirectory(tiff));
    TIFFClose(tiff);
    return facts;
}

TEST(CogResultTest, IsValidTiledDeflatedWithAveragedOverviewsDownToUnderATile)
{
    TempDir dir;
    FakeHost host;
    BandFileSpec spec = Spec(BandFileFormat::Cog, SampleType::UInt16);
    spec.width = 1100;  // overviews of 550 and 275 pixels
    spec.height = 3;
    spec.bands = 1;
    spec.bandNames = {"Pan"};
    RunFiles files;
    auto writer = OpenStagedBandFileWriter(spec, dir.File("pan.tif"), files, host);
    ASSERT_TRUE(writer);
    // Row pairs average over the valid pixels only; the lone last row by itself.
    std::vector<std::uint16_t> rows(3 * 1100, 10);
    rows[0] = 0;   // no data: (0, 0) of the first overview is the mean of 10, 10, 10
    rows[1] = 13;  // ... and 13: 10.75 → 11
    rows[2] = 0;
    rows[3] = 0;
    rows[1100 + 2] = 0;
    rows[1100 + 3] = 0;  // pixel (1, 0) of the first overview has nothing valid: no data
    rows[2200] = 21;     // last row alone: (0, 1) = (21 + 10) / 2 = 15.5 → 16 (ties to even)
    const std::uint16_t* band = rows.data();
    ASSERT_TRUE(writer->WriteRows(&band, 3));
    ASSERT_EQ(writer->Finish({}), RunOutcome::Finished);
    writer.reset();
    ASSERT_TRUE(files.Commit());

    const TiffFacts facts = ReadTiffFacts(dir.File("pan.tif"));
    EXPECT_EQ(facts.tileWidth, 512u);
    EXPECT_EQ(facts.compression, COMPRESSION_ADOBE_DEFLATE);
    EXPECT_EQ(facts.predictor, PREDICTOR_HORIZONTAL);
    EXPECT_THAT(facts.widths, ElementsAre(1100u, 550u, 275u));
    GDALDatasetH dataset = GDALOpen(dir.File("pan.tif").c_str(), GA_ReadOnly);
    ASSERT_NE(dataset, nullptr);
    GDALRasterBandH overview = GDALGetOverview(GDALGetRasterBand(dataset, 1), 0);
    std::uint16_t first[4];
    ASSERT_EQ(GDALRasterIO(overview, GF_Read, 0, 0, 2, 2, first, 2, 2, GDT_UInt16, 0, 0), CE_None);
    EXPECT_THAT(first, ElementsAre(11, 0, 16, 10));
    GDALClose(dataset);

    const std::string verdict = CogValidatorVerdict(dir.File("pan.tif"));
    if (verdict.empty()) GTEST_SKIP() << "GDAL's COG validator (python3-gdal) is not installed";
    EXPECT_EQ(verdict, "0\n");
}

TEST(CogResultTest, FloatsTakeTheFloatingPointPredictorAndTheBytesDoNotDependOnThreads)
{
    TempDir dir;
    FakeHost host;
    BandFileSpec spec = Spec(BandFileFormat::Cog, SampleType::Float32);
    spec.noData = std::nan("");
    spec.threads = 1;
    ASSERT_FALSE(WriteImage(spec, dir.File("one.tif"), host).empty());
    spec.threads = 3;
    ASSERT_FALSE(WriteImage(spec, dir.File("three.tif"), host).empty());
    EXPECT_EQ(ReadTiffFacts(dir.File("one.tif")).predictor, PREDICTOR_FLOATINGPOINT);
    EXPECT_TRUE(ReadFileBytes(dir.File("one.tif")) == ReadFileBytes(dir.File("three.tif")));
}

TEST(CogResultTest, ATallImageReusesItsHeldRowsWithoutMixingThemUp)
{
    // Narrow rows: the writer holds two rows of tiles, and rows 1024 on take the places of the
    // first ones while tiles are being compressed.
    TempDir dir;
    FakeHost host;
    BandFileSpec spec = Spec(BandFileFormat::Cog, SampleType::UInt16);
    spec.width = 40;
    spec.height = 2600;
    spec.bands = 2;
    spec.bandNames.clear();
    spec.threads = 1;
    ASSERT_FALSE(WriteImage(spec, dir.File("one.tif"), host).empty());
    spec.threads = 2;
    ASSERT_FALSE(WriteImage(spec, dir.File("two.tif"), host).empty());
    EXPECT_TRUE(ReadFileBytes(dir.File("one.tif")) == ReadFileBytes(dir.File("two.tif")));

    GDALDatasetH dataset = GDALOpen(dir.File("two.tif").c_str(), GA_ReadOnly);
    ASSERT_NE(dataset, nullptr);
    std::vector<double> samples(40 * 2600);
    for (int k = 0; k < 2; ++k) {
        ASSERT_EQ(GDALRasterIO(GDALGetRasterBand(dataset, k + 1), GF_Read, 0, 0, 40, 2600,
                               samples.data(), 40, 2600, GDT_Float64, 0, 0),
                  CE_None);
        int differing = 0;
        for (int y = 0; y < 2600; ++y)
            for (int x = 0; x < 40; ++x)
                differing +=
                    samples[static_cast<std::size_t>(y) * 40 + x] != SampleAt(spec.type, k, x, y);
        EXPECT_EQ(differing, 0) << "band " << k;
    }
    GDALClose(dataset);
}

TEST(CogResultTest, AnImageTooWideToHoldKeepsItsRowsInAFileAndReadsBack)
{
    // 33 000 floats a row: a row of tiles would take 66 MB.
    TempDir dir;
    FakeHost host;
    BandFileSpec spec = Spec(BandFileFormat::Cog, SampleType::Float32);
    spec.width = 33000;
    spec.height = 40;
    spec.bands = 1;
    spec.bandNames = {"Pan"};
    ASSERT_FALSE(WriteImage(spec, dir.File("wide.tif"), host).empty());
    EXPECT_THAT(FolderNames(dir.Path()), ElementsAre("wide.tif"));
    GDALDatasetH dataset = GDALOpen(dir.File("wide.tif").c_str(), GA_ReadOnly);
    ASSERT_NE(dataset, nullptr);
    GDALRasterBandH band = GDALGetRasterBand(dataset, 1);
    EXPECT_EQ(GDALGetOverviewCount(band), 7);  // 16 500 down to 258
    std::vector<double> samples(33000 * 40);
    ASSERT_EQ(
        GDALRasterIO(band, GF_Read, 0, 0, 33000, 40, samples.data(), 33000, 40, GDT_Float64, 0, 0),
        CE_None);
    int differing = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 33000; ++x)
            differing +=
                samples[static_cast<std::size_t>(y) * 33000 + x] != SampleAt(spec.type, 0, x, y);
    EXPECT_EQ(differing, 0);
    GDALClose(dataset);
}

TEST(BandFileWriterRulesTest, ACogWhoseDiskFillsStopsWithItsMessageAndLeavesNothing)
{
    TempDir dir;
    FakeHost host;
    BandFileSpec spec = Spec(BandFileFormat::Cog, SampleType::UInt16);
    spec.height = 2600;
    const std::string path = dir.File("out.tif");
    // The disk fills once the temporary files hold 200 kB.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto savedHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 200000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    {
        RunFiles files;
        auto writer = OpenStagedBandFileWriter(spec, path, files, host);
        bool written = writer != nullptr;
        std::vector<double> strip(static_cast<std::size_t>(spec.width) * 100);
        const double* bands[3] = {strip.data(), strip.data(), strip.data()};
        for (int row = 0; written && row < spec.height; row += 100) {
            for (std::size_t i = 0; i < strip.size(); ++i)
                strip[i] = SampleAt(spec.type, 0, static_cast<int>(i) % spec.width,
                                    row + static_cast<int>(i) / spec.width);
            written = writer->WriteRows(bands, 100);
        }
        if (written) {
            EXPECT_EQ(writer->Finish({}), RunOutcome::Stopped);
        }
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, savedHandler);
    EXPECT_THAT(host.Messages(), ElementsAre("Cannot write " + path + "."));
    EXPECT_THAT(FolderNames(dir.Path()), ElementsAre());
}

TEST(BandFileWriterRulesTest, DoublesAreRoundedToEvenAndClippedNeverWrapped)
{
    const double values[] = {-5, 70000, 2.5, 3.5, -0.5, std::nan("")};
    std::uint16_t unsigned16[6];
    StoreSamples(values, 6, SampleType::UInt16, unsigned16);
    EXPECT_THAT(unsigned16, ElementsAre(0, 65535, 2, 4, 0, 0));
    std::int16_t signed16[6];
    const double wide[] = {-40000, 40000, -2.5, 32767.4, -32768.6, 1.5};
    StoreSamples(wide, 6, SampleType::Int16, signed16);
    EXPECT_THAT(signed16, ElementsAre(-32768, 32767, -2, 32767, -32768, 2));
    std::uint8_t bytes[2];
    const double small[] = {255.5, -1};
    StoreSamples(small, 2, SampleType::UInt8, bytes);
    EXPECT_THAT(bytes, ElementsAre(255, 0));
}

TEST(BandFileWriterRulesTest, RefusalsAndFailuresNameTheResultAndLeaveNoFile)
{
    TempDir dir;
    FakeHost host;
    const std::string path = dir.File("out.img");
    BandFileSpec spec = Spec(BandFileFormat::Envi, SampleType::UInt8);
    spec.noData = 300;
    {
        RunFiles files;
        EXPECT_FALSE(OpenStagedBandFileWriter(spec, path, files, host));
    }
    spec.noData = 0;
    spec.geo.rowSkewX = 0.1;
    {
        RunFiles files;
        EXPECT_FALSE(OpenStagedBandFileWriter(spec, path, files, host));
    }
    spec.geo.rowSkewX = 0;
    {
        RunFiles files;
        auto writer = OpenStagedBandFileWriter(spec, path, files, host);
        ASSERT_TRUE(writer);
        std::vector<std::uint16_t> wrongType(kWidth);
        const std::uint16_t* rows[3] = {wrongType.data(), wrongType.data(), wrongType.data()};
        EXPECT_FALSE(writer->WriteRows(rows, 1));
        std::vector<double> row(kWidth);
        const double* doubles[3] = {row.data(), row.data(), row.data()};
        EXPECT_FALSE(writer->WriteRows(doubles, kHeight + 1));
        ASSERT_TRUE(writer->WriteRows(doubles, 1));
        EXPECT_EQ(writer->Finish({}), RunOutcome::Stopped);
    }
    EXPECT_THAT(host.Messages(),
                ElementsAre("Cannot write " + path +
                                ": the no-data value 300 is not a 8-bit unsigned integer sample.",
                            "Cannot write " + path +
                                ": ENVI's map info holds only north-up grids without rotation.",
                            "Cannot write " + path +
                                ": its samples are 8-bit unsigned integer, not 16-bit unsigned "
                                "integer.",
                            "Cannot write " + path + ": more rows were given than it has.",
                            "Cannot write " + path + ": only 1 of its 530 rows were given."));
    EXPECT_THAT(FolderNames(dir.Path()), ElementsAre());
}

TEST(BandFileWriterRulesTest, AFullDiskStopsTheWriteWithItsReason)
{
    if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
    FakeHost host;
    BandFileSpec spec = Spec(BandFileFormat::Envi, SampleType::UInt8);
    auto writer = OpenBandFileWriter(spec, {"/dev/full", "/dev/null"}, "out.img", host);
    ASSERT_TRUE(writer);
    std::vector<double> row(kWidth);
    const double* doubles[3] = {row.data(), row.data(), row.data()};
    EXPECT_FALSE(writer->WriteRows(doubles, 1));
    EXPECT_THAT(host.Messages(), ElementsAre("Cannot write out.img."));
}

TEST(BandFileWriterRulesTest, ACancelledCogLeavesNothingBehind)
{
    TempDir dir;
    FakeHost host;
    BandFileSpec spec = Spec(BandFileFormat::Cog, SampleType::UInt16);
    {
        RunFiles files;
        auto writer = OpenStagedBandFileWriter(spec, dir.File("out.tif"), files, host);
        ASSERT_TRUE(writer);
        std::vector<double> rows(std::size_t{kWidth} * kHeight, 7);
        const double* bands[3] = {rows.data(), rows.data(), rows.data()};
        ASSERT_TRUE(writer->WriteRows(bands, kHeight));
        int asked = 0;
        EXPECT_EQ(writer->Finish([&asked] { return ++asked < 2; }), RunOutcome::Cancelled);
    }
    EXPECT_THAT(host.Messages(), ElementsAre());
    EXPECT_THAT(FolderNames(dir.Path()), ElementsAre());
}

}  // namespace
}  // namespace lumesta::testing
