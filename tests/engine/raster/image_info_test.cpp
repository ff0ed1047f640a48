#include "raster/image_info.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <tiffio.h>

#include <climits>
#include <vector>

#include "tests/engine/raster/shared_scenes.h"
#include "tests/support/fake_host.h"
#include "tests/support/geotiff_builder.h"
#include "tests/support/temp_dir.h"

namespace lumesta {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

const char kEof[] = "EOF is reached while reading image's header file.";

std::string EnviText(int bands, int dataType, const std::string& interleave,
                     const std::string& tail = "", const std::string& first = "ENVI")
{
    return first + "\ndescription = {\n  scene}\nsamples = 192\nlines   = 160\nbands   = " +
           std::to_string(bands) + "\nheader offset = 0\nfile type = ENVI Standard\ndata type = " +
           std::to_string(dataType) + "\ninterleave = " + interleave + "\n" + tail;
}

std::string RdcText(const std::string& dataType, const std::string& fileType)
{
    return "file format : IDRISI Raster A.1\r\nfile title  : \r\ndata type   : " + dataType +
           "\r\nfile type   : " + fileType +
           "\r\ncolumns     : 768\r\nrows        : 640\r\nref. system : plane\r\nref. units  : "
           "m\r\n"
           "unit dist.  : 1\r\nmin. X      : 161992.5853350\r\nmax. X      : 277207.1\r\n"
           "min. Y      : -12.5\r\nmax. Y      : 640\r\npos'n error : unknown\r\n";
}

class HeaderReaderTest : public ::testing::Test {
protected:
    // Writes name's header (".hdr" or ".rdc" beside the data file) and returns the data path.
    std::string Write(const std::string& dataName, const std::string& header)
    {
        const std::string data = dir.File(dataName);
        const bool idrisi = data.substr(data.size() - 4) == ".rst";
        testing::WriteFileBytes(data.substr(0, data.size() - 4) + (idrisi ? ".rdc" : ".hdr"),
                                header);
        return data;
    }

    testing::TempDir dir;
    testing::FakeHost host;
    CImageInfo info;
};

TEST_F(HeaderReaderTest, FourBandCrLfHeaderGivesSizesAndNames)
{
    std::string text =
        EnviText(4, 2, "bsq", "byte order = 0\nband names = {\nBlue,\nGreen,\nRed,\nNIR}\n");
    for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 2)) {
        text.insert(at, "\r");
    }
    EXPECT_EQ(info.ReadHeader16(Write("ms.IMG", text), host), 4);
    EXPECT_EQ(info.width, 192);
    EXPECT_EQ(info.height, 160);
    EXPECT_EQ(info.extension, ".img");
    EXPECT_THAT(info.bandNames4, ElementsAre("Blue", "Green", "Red", "NIR"));
    EXPECT_THAT(host.Messages(), IsEmpty());
}

TEST_F(HeaderReaderTest, NamesLoseLeadingSpacesOrGetNumbers)
{
    EXPECT_EQ(
        info.ReadHeader8(
            Write("a.img", EnviText(3, 1, "bsq", "band names = {\n   Near IR,  G\n, R }")), host),
        3);
    EXPECT_THAT(std::vector<std::string>(info.bandNames8, info.bandNames8 + 3),
                ElementsAre("Near IR", "G\n", "R "));
    EXPECT_EQ(info.ReadHeader8(Write("b.img", EnviText(3, 1, "bsq")), host), 3);
    EXPECT_THAT(std::vector<std::string>(info.bandNames8, info.bandNames8 + 3),
                ElementsAre("Band 1", "Band 2", "Band 3"));
    // An end of file inside the names is reported, and the checks still decide.
    EXPECT_EQ(
        info.ReadHeader16(Write("c.img", EnviText(4, 2, "bsq", "band names = {\nB,\nG")), host), 4);
    EXPECT_THAT(host.Messages(), ElementsAre(kEof));
}

TEST_F(HeaderReaderTest, ChecksAndTheirMessagesInOrder)
{
    EXPECT_EQ(info.ReadHeader16(Write("a.img", EnviText(1, 2, "bsq", "", "envi")), host), 1);
    EXPECT_EQ(info.headerKind, "ENVI");
    EXPECT_EQ(info.ReadHeader16(Write("b.img", EnviText(1, 2, "BSQ")), host), 0);
    EXPECT_EQ(info.ReadHeader16(Write("c.img", EnviText(1, 1, "bil")), host), 0);
    EXPECT_EQ(info.ReadHeader(Write("d.img", EnviText(9, 1, "bsq")), host), 0);
    EXPECT_EQ(info.ReadHeader8(Write("e.img", EnviText(2, 1, "bsq")), host), 0);
    EXPECT_EQ(info.ReadHeader8(Write("f.img", EnviText(-3, 1, "bsq")), host), 0);
    EXPECT_EQ(info.ReadHeader(Write("f.img", EnviText(-3, 1, "bsq")), host), 1);
    EXPECT_EQ(info.ReadHeader16(Write("g.img", EnviText(3, 12, "bsq")), host), 0);
    EXPECT_THAT(
        host.Messages(),
        ElementsAre("Only BSQ (interleave) is allowed.", "Please check the data type required.",
                    "Please check the number of bands, max. number of bands is 8.",
                    "Please check the number of bands, can be either 1, or 3-8.",
                    "Total band(s) in the input image should be either 1, or 3-8.",
                    "Total bands in this image should be either 1 or 4."));
}

TEST_F(HeaderReaderTest, CutShortHostileOrMissingHeaders)
{
    const std::string full = EnviText(1, 2, "bsq");
    EXPECT_EQ(info.ReadHeader16(Write("a.img", "ENVI\ndescription = {\n x}\n"), host), 0);
    EXPECT_EQ(info.ReadHeader16(Write("b.img", full.substr(0, full.find("bsq"))), host), 0);
    EXPECT_EQ(info.ReadHeader(Write("c.img", ""), host), 0);
    const std::string huge(3 << 20, 'x');
    EXPECT_EQ(info.ReadHeader16(Write("d.img", "ENVI " + huge), host), 0);
    std::string absurd = full;
    absurd.replace(absurd.find("192"), 3, "99999999999999999999999");
    absurd.replace(absurd.find("160"), 3, "-7");
    EXPECT_EQ(info.ReadHeader16(Write("e.img", absurd), host), 1);
    EXPECT_EQ(info.width, INT_MAX);
    EXPECT_EQ(info.height, -7);
    EXPECT_EQ(info.ReadHeader16(
                  Write("f.img", EnviText(4, 2, "bsq", "band names = {\n" + huge + ",")), host),
              4);
    EXPECT_EQ(info.bandNames4[0].size(), 254u);
    EXPECT_EQ(info.ReadHeader8(dir.File("missing.rst"), host), 0);  // silent: the caller reports
    EXPECT_EQ(info.ReadHeader8(dir.File("scene.raw"), host), 1);    // a generic matrix
    EXPECT_THAT(
        host.Messages(),
        ElementsAre(kEof, kEof, "To make sure this is a right ENVI header file.", kEof, kEof));
}

TEST_F(HeaderReaderTest, IdrisiHeaderGivesSizeCoordinatesAndTypeChecks)
{
    info.bands = 7;
    EXPECT_EQ(info.ReadHeader16(Write("i.rst", RdcText("integer", "binary")), host), 1);
    EXPECT_EQ(info.width, 768);
    EXPECT_EQ(info.height, 640);
    EXPECT_EQ(info.minX + " " + info.maxX + " " + info.minY + " " + info.maxY,
              "161992.5853350 277207.1 -12.5 640");
    EXPECT_EQ(info.bands, 0);
    EXPECT_EQ(info.ReadHeader8(dir.File("i.rst"), host), 0);
    EXPECT_EQ(info.ReadHeader16(Write("r.rst", RdcText("REAL", "binary")), host), 0);
    EXPECT_EQ(info.ReadHeader(dir.File("r.rst"), host), 0);
    EXPECT_EQ(info.ReadHeader8(Write("b.rst", RdcText("byte", "ASCII")), host), 0);
    const std::string full = RdcText("byte", "binary");
    EXPECT_EQ(info.ReadHeader8(Write("c.rst", full.substr(0, full.find("max. Y"))), host), 0);
    EXPECT_EQ(info.ReadHeader(dir.File("c.rst"), host), 1);  // needs no coordinates
    EXPECT_THAT(host.Messages(),
                ElementsAre("Data type should be byte.", "Data type should be integer.",
                            "Data type should not be real (i.e., float) or RGB24",
                            "File type should be binary.", kEof));
}

void WriteTiff(const std::string& path, int bits, int samples)
{
    testing::TiffSpec spec{30, 1, bits, samples, PLANARCONFIG_SEPARATE};
    testing::WriteTestTiff(path, spec, [](int, std::uint32_t, std::uint32_t) { return 0; });
}

TEST_F(HeaderReaderTest, GeoTiffDepthAndBandsWithoutLibraryChatter)
{
    WriteTiff(dir.File("ms.tif"), 16, 4);
    WriteTiff(dir.File("rgb.tif"), 8, 3);
    WriteTiff(dir.File("one.tif"), 8, 1);
    testing::WriteFileBytes(dir.File("bad.tif"), "II*\0garbage");
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(info.ReadHeader16(dir.File("ms.tif"), host), 1);
    EXPECT_EQ(info.bands, 4);
    EXPECT_THAT(info.bandNames4, ElementsAre("Band 1", "Band 2", "Band 3", "Band 4"));
    EXPECT_EQ(info.ReadHeader8(dir.File("ms.tif"), host), 0);
    EXPECT_EQ(info.ReadHeader8(dir.File("rgb.tif"), host), 0);
    EXPECT_EQ(info.ReadHeader16(dir.File("one.tif"), host), 0);
    EXPECT_EQ(info.ReadHeader8(dir.File("one.tif"), host), 1);
    EXPECT_EQ(info.bands, 1);
    EXPECT_EQ(info.ReadHeader16(dir.File("bad.tif"), host), 0);
    EXPECT_EQ(info.ReadHeader(dir.File("bad.tif"), host), 1);  // not read at all
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_THAT(host.Messages(),
                ElementsAre("Error: Not reading 8-bit GeoTIFF image.",
                            "Error: GeoTIFF image should not have multiple bands.",
                            "Error: Not reading 16-bit GeoTIFF image", "Error: Reading GeoTIFF."));
}

TEST_F(HeaderReaderTest, RealScenesAreRead)
{
    const std::string scenes = testing::SharedScenesFolder();
    if (scenes.empty()) GTEST_SKIP() << "no shared scenes";
    EXPECT_EQ(info.ReadHeader16(scenes + "ps16/envi4/ms.img", host), 4);
    EXPECT_THAT(info.bandNames4, ElementsAre("Blue", "Green", "Red", "NIR"));
    EXPECT_EQ(info.ReadHeader8(scenes + "combine8/envi3/ms.img", host), 3);
    EXPECT_EQ(info.ReadHeader16(scenes + "ps16/idrisi/pan.rst", host), 1);
    EXPECT_EQ(info.width * 10000 + info.height, 7680640);
    EXPECT_EQ(info.ReadHeader16(scenes + "ps16/geotiff4/ms.tif", host), 1);
    EXPECT_EQ(info.bands, 4);
    EXPECT_THAT(host.Messages(), IsEmpty());
}

}  // namespace
}  // namespace lumesta
