// GeoTIFF files that declare more than they hold, and templates whose compression cannot take
// the result's layout.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <tiffio.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "raster/file_name.h"
#include "raster/geotiff/geotiff_extract.h"
#include "raster/geotiff/geotiff_write.h"
#include "tests/support/fake_host.h"
#include "tests/support/geotiff_builder.h"
#include "tests/support/temp_dir.h"

namespace lumesta::testing {
namespace {

using ::testing::ElementsAre;

// Runs the extraction in a child process; true when it failed with the reading message, and
// peakKiB tells the child's peak resident memory.
bool ExtractionRefusedInChild(const std::string& tiff, const std::string& raw, long& peakKiB)
{
    const pid_t child = ::fork();
    if (child == 0) {
        FakeHost host;
        const int result = ExtractGeoTiff(tiff, raw, host);
        const bool refused = result == 0 && host.Messages().size() == 1 &&
                             host.Messages()[0] == "Error when reading GeoTIFF.\n";
        ::_exit(refused ? 0 : 1);
    }
    int status = 0;
    struct rusage usage {};
    ::wait4(child, &status, 0, &usage);
    peakKiB = usage.ru_maxrss;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(GeoTiffHostileTest, HugeDeclaredStripsFailWithTheReadingMessageAndLittleMemory)
{
    TempDir dir;
    const struct {
        std::uint32_t byteCount;
        std::uint16_t compression;
    } cases[] = {
        {16, COMPRESSION_NONE},
        {0xffffffffu, COMPRESSION_NONE},
        {16, COMPRESSION_ADOBE_DEFLATE},
        {0xffffffffu, COMPRESSION_ADOBE_DEFLATE},
    };
    for (const auto& c : cases) {
        WriteFileBytes(dir.File("huge.tif"),
                       CraftedStripTiff(60000, 40000, c.byteCount, c.compression));
        long peakKiB = 0;
        EXPECT_TRUE(ExtractionRefusedInChild(dir.File("huge.tif"), dir.File("huge.raw"), peakKiB))
            << c.byteCount << " " << c.compression;
        EXPECT_LT(peakKiB, 256 * 1024) << c.byteCount << " " << c.compression;
        EXPECT_FALSE(FileExists(dir.File("huge.raw")));
    }
}

TEST(GeoTiffHostileTest, JpegStripTemplateGivesAnUncompressedResultWithTheSamples)
{
    TempDir dir;
    TiffSpec spec;
    spec.width = 16;
    spec.height = 16;
    spec.bits = 8;
    spec.rowsPerStrip = 16;
    spec.compression = COMPRESSION_JPEG;
    const auto flat = [](int, std::uint32_t, std::uint32_t) { return 100; };
    WriteTestTiff(dir.File("jpeg.tif"), spec, flat);
    const std::string plane(16 * 16, '\x64');
    for (const char* name : {"r.raw", "g.raw", "b.raw"}) WriteFileBytes(dir.File(name), plane);
    FakeHost host;
    ASSERT_EQ(WriteGeoTiff(dir.File("jpeg.tif"), dir.File("out.tif"), dir.File("r.raw"),
                           dir.File("g.raw"), dir.File("b.raw"), 1, false, host),
              1)
        << ::testing::PrintToString(host.Messages());
    EXPECT_TRUE(host.Messages().empty());
    FakeHost readHost;
    ASSERT_EQ(ExtractGeoTiff(dir.File("out.tif"), dir.File("back.raw"), readHost), 1);
    EXPECT_EQ(ReadFileBytes(dir.File("back.raw")), plane + plane + plane);
}

}  // namespace
}  // namespace lumesta::testing
