#include "fusion/injection/degraded_pans.h"

namespace lumesta {
namespace {

const char kWriteFailure[] =
    "Error when writing output file.\nYou may wish to copy files from CD-ROM to hard disk.";

}  // namespace

bool DegradedPans::Create(const std::string& besidePath, int count, std::int64_t width,
                          std::int64_t height, Host& host)
{
    Release();
    const std::string path = m_files.CreateTemp(besidePath);
    if (path.empty() || !m_file.CreateForReadWrite(path)) {
        host.ShowMessage(kWriteFailure);
        return false;
    }
    m_count = count;
    m_width = width;
    m_height = height;
    return true;
}

std::int64_t DegradedPans::Offset(int g, std::int64_t row) const
{
    return ((g * m_height) + row) * m_width * static_cast<std::int64_t>(sizeof(float));
}

bool DegradedPans::WriteRows(int g, std::int64_t first, std::int64_t rows, const float* samples,
                             Host& host) const
{
    if (PutRows(g, first, rows, samples)) return true;
    host.ShowMessage(kWriteFailure);
    return false;
}

bool DegradedPans::ReadRows(int g, std::int64_t first, std::int64_t rows, float* samples,
                            Host& host) const
{
    if (GetRows(g, first, rows, samples)) return true;
    host.ShowMessage(kWriteFailure);
    return false;
}

bool DegradedPans::PutRows(int g, std::int64_t first, std::int64_t rows, const float* samples) const
{
    const std::int64_t bytes = rows * m_width * static_cast<std::int64_t>(sizeof(float));
    return m_file.WriteAt(Offset(g, first), bytes, samples);
}

bool DegradedPans::GetRows(int g, std::int64_t first, std::int64_t rows, float* samples) const
{
    const std::int64_t bytes = rows * m_width * static_cast<std::int64_t>(sizeof(float));
    return m_file.ReadAt(Offset(g, first), bytes, samples) == bytes;
}

void DegradedPans::Release()
{
    m_file.Close();
    m_files.RemoveNow();
    m_count = 0;
}

}  // namespace lumesta
