#include "raster/raw_file.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <algorithm>
#include <fcntl.h>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/temp_dir.h"

namespace lumesta {
namespace {

// Bytes that differ from position to position, so a misplaced piece shows.
std::vector<std::uint8_t> Pattern(std::int64_t size)
{
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    for (std::int64_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 4093);
    return bytes;
}

// Pages of the file's first size bytes held in the page cache.
std::int64_t ResidentBytes(const std::string& path, std::int64_t size)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    void* map = ::mmap(nullptr, static_cast<std::size_t>(size), PROT_READ, MAP_SHARED, fd, 0);
    ::close(fd);
    if (map == MAP_FAILED) return -1;
    const long page = ::sysconf(_SC_PAGESIZE);
    std::vector<unsigned char> resident(static_cast<std::size_t>((size + page - 1) / page));
    const int status = ::mincore(map, static_cast<std::size_t>(size), resident.data());
    ::munmap(map, static_cast<std::size_t>(size));
    if (status != 0) return -1;
    return page * std::count_if(resident.begin(), resident.end(), [](unsigned char r) { return r & 1; });
}

// A streamed output written the way the runs write it -- pieces of odd sizes, from two threads,
// out of order -- and read back at unaligned places, in the project's folder and (where it
// exists) in memory-backed /dev/shm, where reads past the cache are refused and the ordinary
// path must take over.
TEST(RawFileTest, StreamedFileReadsBackEveryByteWrittenInAnyOrder)
{
    testing::TempDir dir;
    std::vector<std::string> folders{dir.Path()};
    if (::access("/dev/shm", W_OK) == 0) folders.push_back("/dev/shm");
    constexpr std::int64_t kWindow = WriteBehind::kWindowBytes;
    constexpr std::int64_t kSize = (std::int64_t{96} << 20) + 12345;  // beyond the window
    const std::vector<std::uint8_t> expected = Pattern(kSize);
    for (const std::string& folder : folders) {
        SCOPED_TRACE(folder);
        const std::string path = folder + "/streamed-" + std::to_string(::getpid()) + ".raw";
        RawFile file;
        ASSERT_TRUE(file.CreateForReadWrite(path));
        file.StreamWrites(false);
        // Pieces of 1 MiB + 3 bytes, written last first by two threads in turn.
        constexpr std::int64_t kPiece = (std::int64_t{1} << 20) + 3;
        const std::int64_t pieces = (kSize + kPiece - 1) / kPiece;
        bool failed[2] = {false, false};
        auto write = [&](int thread) {
            for (std::int64_t p = pieces - 1 - thread; p >= 0; p -= 2) {
                const std::int64_t at = p * kPiece;
                const std::int64_t count = std::min(kPiece, kSize - at);
                if (!file.WriteAt(at, count, expected.data() + at)) failed[thread] = true;
            }
        };
        std::thread other(write, 1);
        write(0);
        other.join();
        EXPECT_FALSE(failed[0] || failed[1]);

        std::vector<std::uint8_t> back(static_cast<std::size_t>(kSize), 0);
        for (std::int64_t at = 0; at < kSize; at += 5000001) {
            const std::int64_t count = std::min<std::int64_t>(5000001, kSize - at);
            ASSERT_EQ(file.ReadAt(at, count, back.data() + at), count) << at;
        }
        EXPECT_TRUE(back == expected);
        std::uint8_t tail[100] = {};
        EXPECT_EQ(file.ReadAt(kSize - 10, 100, tail), 10);  // short at the end of the file
        EXPECT_EQ(tail[9], expected[kSize - 1]);
        EXPECT_EQ(file.ReadAt(kSize + 4096, 10, tail), 0);
        EXPECT_TRUE(file.Close());
        if (folder == dir.Path()) {
            // Written bytes leave the cache behind the window (reads bypass it), so a run
            // writing gigabytes holds tens of megabytes of them.
            const std::int64_t resident = ResidentBytes(path, kSize);
            if (resident >= 0) {
                EXPECT_LE(resident, kWindow + (std::int64_t{8} << 20)) << resident;
            }
        }
        ::unlink(path.c_str());
    }
}

// A file the run reads back stays whole in the cache until it is read, and reads back exact.
TEST(RawFileTest, FileReadBackStaysInTheCacheUntilRead)
{
    testing::TempDir dir;
    constexpr std::int64_t kSize = (std::int64_t{24} << 20) + 777;  // beyond the narrow window
    const std::vector<std::uint8_t> expected = Pattern(kSize);
    const std::string path = dir.File("whole.raw");
    RawFile file;
    ASSERT_TRUE(file.CreateForReadWrite(path));
    file.StreamWrites(true);
    // Written in one call: the file still reaches the kernel in pieces.
    ASSERT_TRUE(file.WriteAt(0, kSize, expected.data()));
    const std::int64_t resident = ResidentBytes(path, kSize);
    if (resident >= 0) {
        EXPECT_GE(resident, kSize - 4096) << resident;
    }
    std::vector<std::uint8_t> back(static_cast<std::size_t>(kSize), 0);
    for (std::int64_t at = 0; at < kSize; at += 3000017) {
        const std::int64_t count = std::min<std::int64_t>(3000017, kSize - at);
        ASSERT_EQ(file.ReadAt(at, count, back.data() + at), count) << at;
    }
    EXPECT_TRUE(back == expected);
    EXPECT_TRUE(file.Close());
}

// Moving the file moves its streaming with it; a plain file keeps the ordinary reads.
TEST(RawFileTest, MovedAndPlainFilesKeepTheirBytes)
{
    testing::TempDir dir;
    const std::vector<std::uint8_t> expected = Pattern(100000);
    RawFile first;
    ASSERT_TRUE(first.CreateForReadWrite(dir.File("a.raw")));
    first.StreamWrites(true);
    RawFile moved = std::move(first);
    EXPECT_FALSE(first.IsOpen());
    ASSERT_TRUE(moved.WriteAt(0, 100000, expected.data()));
    std::vector<std::uint8_t> back(100000);
    EXPECT_EQ(moved.ReadAt(0, 100000, back.data()), 100000);
    EXPECT_TRUE(back == expected);
    EXPECT_TRUE(moved.Close());

    RawFile plain;
    ASSERT_TRUE(plain.OpenForReading(dir.File("a.raw")));
    plain.StreamWrites(true);  // not created here: stays as it is
    std::fill(back.begin(), back.end(), 0);
    EXPECT_EQ(plain.ReadAt(1, 99999, back.data()), 99999);
    EXPECT_TRUE(std::equal(back.begin(), back.begin() + 99999, expected.begin() + 1));
}

}  // namespace
}  // namespace lumesta
