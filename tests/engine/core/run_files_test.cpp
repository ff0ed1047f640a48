// The run's file guard: names of the run's own, outputs renamed into place only on Commit,
// and nothing removed that the guard did not make.

#include "core/run_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <set>
#include <string>

#include "raster/file_name.h"
#include "tests/support/temp_dir.h"

namespace lumesta::testing {
namespace {

TEST(RunFilesTest, NamesAreNewAndDistinctAndTheGuardRemovesOnlyItsOwnFiles)
{
    TempDir dir;
    WriteFileBytes(dir.File("out.img"), "old result");
    std::set<std::string> names;
    {
        RunFiles files;
        for (int i = 0; i < 20; ++i) {
            const std::string temp = files.CreateTemp(dir.File("pan.tif"));
            ASSERT_EQ(FolderOf(temp), dir.Path() + "/");
            names.insert(temp);
        }
        const std::string staged = files.StageOutput(dir.File("out.img"));
        ASSERT_EQ(FolderOf(staged), dir.Path() + "/");
        names.insert(staged);
        WriteFileBytes(staged, "partial");
        for (const auto& name : names) EXPECT_TRUE(FileExists(name));
    }
    EXPECT_EQ(names.size(), 21u);
    for (const auto& name : names) EXPECT_FALSE(FileExists(name)) << name;
    EXPECT_EQ(ReadFileBytes(dir.File("out.img")), "old result");  // never a partial result
}

TEST(RunFilesTest, CommitPutsEveryOutputInPlaceAndRemovesTheTemporaries)
{
    TempDir dir;
    WriteFileBytes(dir.File("a.img"), "old");
    RunFiles files;
    const std::string temp = files.CreateTemp(dir.File("x"));
    const std::string a = files.StageOutput(dir.File("a.img"));
    const std::string b = files.StageOutput(dir.File("b.hdr"));
    WriteFileBytes(a, "new a");
    WriteFileBytes(b, "new b");
    ASSERT_TRUE(files.Commit());
    EXPECT_EQ(ReadFileBytes(dir.File("a.img")), "new a");
    EXPECT_EQ(ReadFileBytes(dir.File("b.hdr")), "new b");
    EXPECT_FALSE(FileExists(a));
    EXPECT_FALSE(FileExists(temp));
}

TEST(RunFilesTest, AFailedCommitLeavesNoOutputAndAMissingFolderFallsBackForTemporaries)
{
    TempDir dir;
    RunFiles files;
    const std::string a = files.StageOutput(dir.File("a.img"));
    const std::string b = files.StageOutput(dir.File("b.img"));
    ASSERT_FALSE(a.empty());
    ASSERT_FALSE(b.empty());
    std::remove(b.c_str());  // the second rename fails
    EXPECT_FALSE(files.Commit());
    EXPECT_FALSE(FileExists(dir.File("a.img")));
    EXPECT_FALSE(FileExists(a));

    EXPECT_TRUE(files.StageOutput(dir.File("no-such-folder/out.img")).empty());
    ::setenv("TMPDIR", dir.Path().c_str(), 1);
    const std::string temp = files.CreateTemp(dir.File("no-such-folder/pan.tif"));
    ::unsetenv("TMPDIR");
    EXPECT_EQ(FolderOf(temp), dir.Path() + "/");
    EXPECT_TRUE(FileExists(temp));
}

TEST(RunFilesTest, ALinkKeepsLeadingToTheResultAndADeviceIsWrittenInPlace)
{
    TempDir dir;
    WriteFileBytes(dir.File("real.bmp"), "old");
    ASSERT_EQ(::symlink(dir.File("real.bmp").c_str(), dir.File("link.bmp").c_str()), 0);
    RunFiles files;
    const std::string staged = files.StageOutput(dir.File("link.bmp"));
    WriteFileBytes(staged, "new");
    EXPECT_EQ(files.StageOutput("/dev/null"), "/dev/null");
    ASSERT_TRUE(files.Commit());
    EXPECT_EQ(ReadFileBytes(dir.File("link.bmp")), "new");
    struct stat info {};
    ASSERT_EQ(::lstat(dir.File("link.bmp").c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    ASSERT_EQ(::stat("/dev/null", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));
}

}  // namespace
}  // namespace lumesta::testing
