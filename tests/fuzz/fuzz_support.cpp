#include "tests/fuzz/fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace lumesta::fuzz {

std::string ScratchFolder()
{
    static const std::string folder = [] {
        char pattern[] = "/tmp/lumesta-fuzz-XXXXXX";
        const char* made = ::mkdtemp(pattern);
        if (made == nullptr) std::abort();
        return std::string(made) + "/";
    }();
    return folder;
}

std::string WriteScratch(const std::string& name, const std::uint8_t* data, std::size_t size)
{
    const std::string path = ScratchFolder() + name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
    std::fclose(file);
    return path;
}

std::string WriteHeaderAndData(const std::string& header, const std::string& name,
                               const std::uint8_t* data, std::size_t size)
{
    const auto* nul = static_cast<const std::uint8_t*>(std::memchr(data, 0, size));
    const std::size_t headerSize = nul ? static_cast<std::size_t>(nul - data) : size;
    WriteScratch(header, data, headerSize);
    const std::size_t rest = nul ? headerSize + 1 : size;
    return WriteScratch(name, data + rest, size - rest);
}

}  // namespace lumesta::fuzz
