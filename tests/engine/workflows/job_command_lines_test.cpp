// A job's command line (OptionTable::CommandLine), how the desktop remembers a dialog's job and
// its history lists a run: given to a fresh job it gives back every choice, so the command line
// it then makes is the same; a remembered file that is gone is left out, the rest still applies.

#include <gtest/gtest.h>

#include <sstream>

#include "assess/assess_options.h"
#include "composite/combine_options.h"
#include "fusion/etm_options.h"
#include "fusion/pansharpen_options.h"
#include "tests/support/fake_host.h"
#include "tests/support/scene_builder.h"
#include "tests/support/temp_dir.h"
#include "workflows/quality_options.h"

namespace lumesta::testing {
namespace {

using Args = std::vector<std::string>;

// The command line of the job that args set, as lumesta-cli would set it.
template <typename Job>
Args CommandLineAfter(const OptionTable<Job>& table, const Args& args, Job job = Job())
{
    const ToolOptions tool = table.Describe();
    FakeHost host;
    OptionValues values;
    EXPECT_EQ(values.Read(args, tool.options), "");
    EXPECT_EQ(CheckCommandLine(values, tool), "");
    EXPECT_EQ(table.Apply(job, values, host).status, ApplyStatus::Applied);
    EXPECT_TRUE(host.Messages().empty());
    return table.CommandLine(job);
}

// Every option in args comes back as given (args are in table order), and the job it gives
// makes the same command line again.
template <typename Job>
void ExpectRoundTrip(const OptionTable<Job>& table, const Args& args, Job job = Job())
{
    SCOPED_TRACE(table.tool.name);
    const Args line = CommandLineAfter(table, args, job);
    EXPECT_EQ(line, args);
    EXPECT_EQ(CommandLineAfter(table, line, job), line);
}

class JobCommandLinesTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string Path(const std::string& name) const { return dir.File(name); }
    // A command line typed as one string, "@" standing for the test's folder.
    Args Line(const std::string& text) const
    {
        Args args;
        std::istringstream words(text);
        for (std::string word; words >> word;) {
            if (word[0] == '@') word = dir.Path() + word.substr(1);
            args.push_back(word);
        }
        return args;
    }
};

TEST_F(JobCommandLinesTest, EveryChoiceOfEveryToolComesBack)
{
    const Scene scene = MakeScene(32, 32);
    WriteEnviScene(dir.Path(), scene);
    WriteEnvi4Scene(dir.Path(), scene);
    ExpectRoundTrip(PanSharpenOptions(),
                    Line("--pan @/pan.img --blue @/ms.img --select 2,1,3,4 --method glp-hpm "
                         "--suffix _X --bmp @/out.bmp --colour-match --sensor ikonos --filter "
                         "detail --filter-bands blue,nir --adjust 1,2,3 --cutoffs 1,2,3,4,5,6 "
                         "--nonlinear 1,0,2 --quality --display"));
    ExpectRoundTrip(PanSharpenOptions(),
                    Line("--pan @/pan.img --blue @/blue.img --green @/green.img --red @/red.img "
                         "--nir @/nir.img --method 1 --bmp @/pan_Fused.bmp --sensor generic "
                         "--filter sharpen --filter-bands green,red"));
    WriteFileBytes(Path("jobs.bif"), "1 0\n");
    ExpectRoundTrip(PanSharpenOptions(), Line("--pan @/jobs.bif --select 4,3,2,1 --method 2 "
                                              "--sensor generic --filter none"));

    WriteEnviScene8(dir.Path(), MakeScene8(32, 32));
    ExpectRoundTrip(EtmOptions(),
                    Line("--pan @/pan.img --blue @/blue.img --green @/green.img --red @/red.img "
                         "--method 2 --suffix _Y --bmp @/e.bmp --filter smooth --filter-bands "
                         "green --nonlinear 0,5,0 --quality"));
    ExpectRoundTrip(CombineOptions(CombineDepth::Eight),
                    Line("--blue @/blue.img --green @/green.img --red @/red.img --bmp @/c.bmp "
                         "--geotiff --cutoffs 3,3,3,3,3,4 --display"),
                    BandCombinationJob(CombineDepth::Eight));

    ExpectRoundTrip(SemivarianceOptions(),
                    Line("--input @/ms.img --band 3 --max-lag 7 --output @/s.txt"));
    WriteFileBytes(Path("band.raw"), std::string(16 * 8 * 2, '\1'));  // sizes typed
    ExpectRoundTrip(ImageStatsOptions(), Line("--input @/band.raw --width 16 --height 8 "
                                              "--level 2 --output @/t.txt"));
    ExpectRoundTrip(HaarOptions(), Line("--input @/red.img --levels 3 --form half --output "
                                        "@/h.rst --bmp @/h.bmp"));
    ExpectRoundTrip(QualityOptions(QualityProtocol::Wald),
                    Line("--pan @/pan.img --ms @/blue.img @/green.img @/red.img @/nir.img "
                         "--ratio 4 --sensor worldview2 --method gsa --method 1 --keep @/kept"));
    ExpectRoundTrip(QualityOptions(QualityProtocol::Reduced),
                    Line("--fused @/red.img --reference @/nir.img --ratio 2 --cut 3 --map "
                         "@/m.tif --width 8 --height 8 --bytes 2"));
}

// A VRT over a file of little-endian 16-bit samples, read through GDAL.
void WriteRawVrt(const std::string& vrtPath, const std::string& rawName, int width, int height)
{
    WriteFileBytes(vrtPath,
                   "<VRTDataset rasterXSize=\"" + std::to_string(width) + "\" rasterYSize=\"" +
                       std::to_string(height) +
                       "\"><VRTRasterBand dataType=\"Int16\" band=\"1\" "
                       "subClass=\"VRTRawRasterBand\"><SourceFilename relativeToVRT=\"1\">" +
                       rawName +
                       "</SourceFilename><ImageOffset>0</ImageOffset>"
                       "<PixelOffset>2</PixelOffset><LineOffset>" +
                       std::to_string(2 * width) +
                       "</LineOffset><ByteOrder>LSB</ByteOrder></VRTRasterBand>"
                       "</VRTDataset>\n");
}

// Files read through GDAL have their size in them: their jobs give no typed --width/--height.
TEST_F(JobCommandLinesTest, SizesOfFilesReadThroughGdalAreNotTyped)
{
    const Scene scene = MakeScene(32, 32);
    WriteEnviScene(dir.Path(), scene);
    WriteRawVrt(Path("pan.vrt"), "pan.img", scene.width, scene.height);
    ExpectRoundTrip(PanSharpenOptions(),
                    Line("--pan @/pan.vrt --blue @/blue.img --green @/green.img --red @/red.img "
                         "--nir @/nir.img --method 1 --bmp @/pan_Fused.bmp --sensor generic "
                         "--filter sharpen --filter-bands green,red"));
    WriteFileBytes(Path("band.raw"), std::string(16 * 8 * 2, '\1'));
    WriteRawVrt(Path("band.vrt"), "band.raw", 16, 8);
    ExpectRoundTrip(ImageStatsOptions(), Line("--input @/band.vrt --level 2 --output @/t.txt"));
}

// A remembered job whose Blue file is gone comes back without it; every other choice stays,
// and options the tool no longer knows are passed over.
TEST_F(JobCommandLinesTest, ARememberedJobComesBackWithoutFilesThatAreGone)
{
    WriteEnviScene(dir.Path(), MakeScene(32, 32));
    const Args remembered = Line(
        "--pan @/pan.img --blue @/gone.img --green @/green.img "
        "--retired x --method awlp --suffix _Kept");
    EXPECT_EQ(StillApplicable(remembered, PanSharpenOptions().Describe().options),
              Line("--pan @/pan.img --green @/green.img --method awlp --suffix _Kept"));
    FakeHost host;
    PanSharpenJob job;
    PanSharpenOptions().ApplyRemembered(job, remembered, host);
    EXPECT_EQ(job.panPath, Path("pan.img"));
    EXPECT_TRUE(job.msPath[kBlue].empty());
    EXPECT_EQ(host.Messages(), Args{"Please enter the blue band first."});  // Green passed over
    EXPECT_EQ(job.method, FusionMethod::Awlp);
    EXPECT_EQ(job.filterType, FilterType16::None);
    EXPECT_EQ(job.suffix, "_Kept");
    EXPECT_EQ(job.bmpName, Path("pan_Kept.bmp"));
}

}  // namespace
}  // namespace lumesta::testing
