// Idrisi32 group files (.rgf): the count line and the member names.

#include <cstddef>
#include <cstdint>

#include "raster/group_file.h"
#include "tests/fuzz/fuzz_support.h"

using namespace lumesta;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string path = fuzz::WriteScratch("group.rgf", data, size);
    fuzz::QuietHost host;
    for (const int minimum : {3, 4}) {
        const auto group = ReadGroupFile(path, minimum, "unreadable", host);
        if (!group) continue;
        for (std::size_t i = 0; i < group->names.size(); ++i) (void)group->BandPath(i);
    }
    return 0;
}
