#include "assess/block_store.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace lumesta {

bool BlockStore::Fail(const char* what)
{
    const int error = errno;
    m_host->ShowMessage(std::string("Cannot ") + what + " a temporary file (" +
                        (error != 0 ? std::strerror(error) : "no reason given") + ").");
    return false;
}

bool BlockStore::Open(std::int64_t rows, std::int64_t columns, int count, Host& host,
                      std::int64_t memoryBytes)
{
    m_host = &host;
    m_columns = columns;
    m_count = count;
    const std::int64_t values = rows * columns * count;
    m_inMemory = values * static_cast<std::int64_t>(sizeof(double)) <= memoryBytes;
    if (m_inMemory) {
        m_memory.assign(static_cast<std::size_t>(values), 0.0);
        return true;
    }
    std::error_code ignored;
    const std::string path =
        m_files.CreateTemp((std::filesystem::temp_directory_path(ignored) / "blocks").string());
    errno = 0;
    if (path.empty() || !m_file.CreateForReadWrite(path)) return Fail("make");
    return true;
}

bool BlockStore::Put(std::int64_t row, std::int64_t first, std::int64_t blocks,
                     const double* values)
{
    const std::int64_t at = (row * m_columns + first) * m_count;
    const std::int64_t count = blocks * m_count;
    if (m_inMemory) {
        std::copy(values, values + count, m_memory.begin() + at);
        return true;
    }
    errno = 0;
    const auto bytes = static_cast<std::int64_t>(sizeof(double));
    return m_file.WriteAt(at * bytes, count * bytes, values) || Fail("write");
}

bool BlockStore::TakeRow(std::int64_t row, std::vector<double>& values)
{
    const std::int64_t count = m_columns * m_count;
    values.resize(static_cast<std::size_t>(count));
    if (m_inMemory) {
        const auto first = m_memory.begin() + row * count;
        std::copy(first, first + count, values.begin());
        return true;
    }
    errno = 0;
    const auto bytes = static_cast<std::int64_t>(sizeof(double));
    return m_file.ReadAt(row * count * bytes, count * bytes, values.data()) == count * bytes ||
           Fail("read");
}

}  // namespace lumesta
