// Batch input files (.bif): the header, the job records and their lines, read as the 16-bit
// tools read them; no job is run.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "batch/batch_file.h"
#include "tests/fuzz/fuzz_support.h"

using namespace lumesta;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string path = fuzz::WriteScratch("jobs.bif", data, size);
    fuzz::QuietHost host;
    BatchTally tally;
    const auto record = [&host](BatchReader& reader, BatchOutputFormat) {
        std::string pan, bmp, geoTiff;
        if (!ReadGeoTiffLine(reader, pan, host)) return BatchRecord::Stop;
        std::array<std::string, 4> files;
        int bands = 1;
        bool unreadable = false;
        if (ReadSixteenBitMsLines(reader, host, files, bands, unreadable) == BatchRecord::Stop) {
            return BatchRecord::Stop;
        }
        if (!ReadOutputLine(reader, bmp, host) || !ReadOutputLine(reader, geoTiff, host)) {
            return BatchRecord::Stop;
        }
        return unreadable ? BatchRecord::Skip : BatchRecord::Run;
    };
    ProcessBatchFile(path, host, record, {}, &tally);
    return 0;
}
