#include "raster/result_header.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/time_stamp.h"
#include "tests/support/fake_host.h"
#include "tests/support/temp_dir.h"

namespace lumesta {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::string WithLineEnds(const std::string& text, const std::string& lineEnd)
{
    std::string converted;
    for (char c : text) converted += c == '\n' ? lineEnd : std::string(1, c);
    return converted;
}

const char kIdrisiTemplate[] =
    "file format : IDRISI Raster A.1\nfile title  : pan\ndata type   : integer\n"
    "file type   : binary\ncolumns     : 192\nrows        : 160\nref. system : plane\n"
    "ref. units  : m\nunit dist.  : 1\nmin. X      : 0\nmax. X      : 192\nmin. Y      : 0\n"
    "max. Y      : 160\npos'n error : unknown\nresolution  : 4\nmin. value  : 0\n"
    "max. value  : 2047\ndisplay min : 0\ndisplay max : 2047\n";

const char kIdrisiStandardOutput[] =
    "file format : IDRISI Raster A.1\r\nfile title  : Pan-Sharpened with pan.rst\r\n"
    "data type   : integer\r\nfile type   : binary\r\ncolumns     : 768\r\n"
    "rows        : 640\r\nref. system : plane\r\nref. units  : m\r\nunit dist.  : 1\r\n"
    "min. X      : 10.5\r\nmax. X      : 778.5\r\nmin. Y      : -3\r\nmax. Y      : 637\r\n"
    "pos'n error : unknown\r\nresolution  : 4\r\nmin. value  : 1\r\nmax. value  : 2000\r\n"
    "display min : 2\r\ndisplay max : 1999\r\n";

const char kLineage[] = "lineage     : This file was fused with the pan band pan.rst";

class ResultHeaderTest : public ::testing::Test {
protected:
    std::string WriteIdrisi(const std::string& templateText)
    {
        testing::WriteFileBytes(dir.File("blue.rdc"), templateText);
        WriteIdrisiResultHeader("pan.rst", dir.File("blue.rdc"), dir.File("out.rdc"), values, host);
        return testing::ReadFileBytes(dir.File("out.rdc"));
    }

    std::string WriteEnvi(const std::string& templateText)
    {
        testing::WriteFileBytes(dir.File("blue.hdr"), templateText);
        WriteEnviResultHeader(dir.File("blue.hdr"), "Blue (Band 1)", dir.File("out.hdr"), 768, 640,
                              "Fused", kWhen, host);
        return testing::ReadFileBytes(dir.File("out.hdr"));
    }

    static std::string EnviStart(int samples = 768)
    {
        return "ENVI\r\ndescription = {\r\n  Pan Sharpen Result [" + TimeStamp(kWhen) +
               "]}\r\nsamples = " + std::to_string(samples) + "\r\n";
    }

    static constexpr std::time_t kWhen = 1700000000;
    testing::TempDir dir;
    testing::FakeHost host;
    IdrisiResultValues values{768, 640, "10.5", "778.5", "-3", "637", 1, 2000, 2, 1999};
};

// The final line break of the template yields an empty line that the lineage line replaces;
// without it, the lineage line continues the last line.
TEST_F(ResultHeaderTest, IdrisiLineageLineEndsTheHeaderWithoutLineBreak)
{
    const std::string standard = kIdrisiStandardOutput;
    EXPECT_EQ(WriteIdrisi(kIdrisiTemplate), standard + kLineage);
    const std::string further = "value units : unspecified\nlineage     : \ncomment     : \n";
    EXPECT_EQ(WriteIdrisi(WithLineEnds(kIdrisiTemplate + further, "\r\n")),
              standard + WithLineEnds(further, "\r\n") + kLineage);
    EXPECT_EQ(WriteIdrisi(kIdrisiTemplate + std::string("comment     : x")),
              standard + "comment     : x" + kLineage);
    EXPECT_THAT(host.Messages(), IsEmpty());
}

TEST_F(ResultHeaderTest, EnviCopiesBetweenSamplesAndBandNamesDroppingEmptyLines)
{
    const std::string templateText =
        "ENVI\ndescription = {\n  blue.img}\nsamples = 192\nlines   = 160\nbands   = 1\n\n"
        "data type = 2\ninterleave = bsq\nband names = {\nBlue}\nwavelength = {1}\n";
    const std::string expected = EnviStart() +
                                 "lines   = 160\r\nbands   = 1\r\ndata type = 2\r\n"
                                 "interleave = bsq\r\nband names = {\r\n"
                                 "Lumesta Pan-sharpen (Blue (Band 1):Fused)}";
    EXPECT_EQ(WriteEnvi(templateText), expected);
    EXPECT_EQ(WriteEnvi(WithLineEnds(templateText, "\r\n")), expected);
    EXPECT_THAT(host.Messages(), IsEmpty());
}

TEST_F(ResultHeaderTest, EnviWithoutBandNamesCopiesToTheEndAndSplitsLongLines)
{
    const std::string longValue(431, 'v');
    const std::string output =
        WriteEnvi("ENVI\r\nsamples = 1\r\nmap info = {x}\r\n\r\n" + longValue + "\r\n");
    EXPECT_EQ(output, EnviStart() + "map info = {x}\r\n" + longValue.substr(0, 299) + "\r\n" +
                          longValue.substr(299) + "\r\n");
}

// A missing template still gives the standard lines; an output that cannot be opened or
// written (a missing folder, a full device) fails with the output message.
TEST_F(ResultHeaderTest, MissingTemplateUnwritableOutputOrFullDeviceAreReported)
{
    WriteEnviResultHeader(dir.File("none.hdr"), "Blue", dir.File("out.hdr"), 5, 6, "x", kWhen,
                          host);
    EXPECT_EQ(testing::ReadFileBytes(dir.File("out.hdr")), EnviStart(5));
    WriteIdrisiResultHeader("p", dir.File("none.rdc"), dir.File("no-such-dir/out.rdc"), values,
                            host);
    testing::WriteFileBytes(dir.File("t.hdr"), "ENVI\r\nsamples = 1\r\nbands = 1\r\n");
    testing::WriteFileBytes(dir.File("t.rdc"), "file format : IDRISI Raster A.1\r\n");
    EXPECT_TRUE(WriteEnviResultHeader(dir.File("t.hdr"), "Blue", dir.File("ok.hdr"), 5, 6, "x",
                                      kWhen, host));
    EXPECT_FALSE(
        WriteEnviResultHeader(dir.File("t.hdr"), "Blue", "/dev/full", 5, 6, "x", kWhen, host));
    EXPECT_FALSE(WriteIdrisiResultHeader("p", dir.File("t.rdc"), "/dev/full", values, host));
    EXPECT_THAT(host.Messages(), ElementsAre("Error - when reading the input header file!",
                                             "Error - when reading the input header file!",
                                             "Error - when writing to the output file!",
                                             "Error - when writing to the output file!",
                                             "Error - when writing to the output file!"));
}

}  // namespace
}  // namespace lumesta
