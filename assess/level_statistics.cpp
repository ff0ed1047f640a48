#include "assess/level_statistics.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <system_error>
#include <thread>

#include "core/run_files.h"
#include "core/truncate.h"
#include "core/worker_threads.h"
#include "assess/number_text.h"
#include "raster/text_reader.h"

namespace lumesta {
namespace {

// The third and fourth powers go through the general power function, which is slow. A level
// holds few distinct values (a 16-bit band at most 65536), so each thread remembers the powers
// of the values it met; the results are those of the power function, only fewer calls. The
// blocks are formed on every core and then summed in sample order on the calling thread.
constexpr std::int64_t kPowerBlock = std::int64_t{1} << 17;
constexpr unsigned kMaxThreads = 4;
constexpr int kCacheBits = 16;

struct PowerEntry {
    std::uint32_t valueBits = 0xffffffffu;  // a NaN pattern: no sample has it
    double cube = 0.0;
    double fourth = 0.0;
};

void PowersOfDeviations(const float* x, std::int64_t count, double mean, double* cubes,
                        double* fourths, std::vector<PowerCache>& caches);

int EntropyBin(float x, double minimum, double maximum)
{
    // A constant level has no spread: all of it falls into bin 0.
    const int bin = maximum > minimum ? TruncToInt((x - minimum) * 255.0 / (maximum - minimum)) : 0;
    return bin < 0 ? 0 : bin > 255 ? 255 : bin;
}

double Entropy(const std::array<std::int64_t, 256>& bins, std::int64_t count)
{
    double entropy = 0.0;
    for (const std::int64_t bin : bins) {
        const double p = static_cast<double>(bin) / static_cast<double>(count);
        if (p > 0) entropy -= p * std::log10(p) / std::log10(2.0);
    }
    return entropy;
}

}  // namespace

class PowerCache {
public:
    PowerCache() : m_entries(std::size_t{1} << kCacheBits) {}
    void Powers(float value, double mean, double& cube, double& fourth)
    {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        PowerEntry& entry = m_entries[(bits * 2654435761u) >> (32 - kCacheBits)];
        if (entry.valueBits != bits) {
            const double deviation = value - mean;
            entry = {bits, std::pow(deviation, 3.0), std::pow(deviation, 4.0)};
        }
        cube = entry.cube;
        fourth = entry.fourth;
    }

private:
    std::vector<PowerEntry> m_entries;
};

namespace {

void PowersOfDeviations(const float* x, std::int64_t count, double mean, double* cubes,
                        double* fourths, std::vector<PowerCache>& caches)
{
    const int threads = count < kPowerBlock / 4 ? 1 : static_cast<int>(caches.size());
    const auto fill = [&](int part) {
        PowerCache& cache = caches[static_cast<std::size_t>(part)];
        const std::int64_t first = count * part / threads;
        const std::int64_t end = count * (part + 1) / threads;
        for (std::int64_t i = first; i < end; ++i) cache.Powers(x[i], mean, cubes[i], fourths[i]);
    };
    std::vector<std::thread> workers;
    for (int part = 1; part < threads; ++part) {
        try {
            workers.emplace_back(fill, part);
        } catch (const std::system_error&) {
            fill(part);
        }
    }
    fill(0);
    for (auto& worker : workers) worker.join();
}

}  // namespace

LevelAccumulator::LevelAccumulator(std::int64_t count)
    : m_minimum(DBL_MAX), m_maximum(-DBL_MAX), m_expected(count)
{
}

LevelAccumulator::~LevelAccumulator() = default;
LevelAccumulator::LevelAccumulator(LevelAccumulator&&) noexcept = default;
LevelAccumulator& LevelAccumulator::operator=(LevelAccumulator&&) noexcept = default;

// No data arrives as NaN and takes no part.
void LevelAccumulator::TakeFirst(const float* x, std::int64_t count)
{
    for (std::int64_t i = 0; i < count; ++i) {
        if (std::isnan(x[i])) continue;
        m_sum += x[i];
        if (x[i] >= m_maximum) m_maximum = x[i];
        if (x[i] <= m_minimum) m_minimum = x[i];
        ++m_count;
    }
}

void LevelAccumulator::StartSecondWalk()
{
    m_mean = m_sum / static_cast<double>(m_count);
    const unsigned cores = WorkerThreads(kMaxThreads);
    m_caches = std::vector<PowerCache>(m_expected < kPowerBlock / 4 ? 1 : cores);
    m_block.assign(static_cast<std::size_t>(std::clamp<std::int64_t>(m_expected, 1, kPowerBlock)),
                   0.0f);
    m_blockFill = 0;
}

void LevelAccumulator::TakeSecond(const float* x, std::int64_t count)
{
    while (count > 0) {
        const std::size_t take =
            std::min(static_cast<std::size_t>(count), m_block.size() - m_blockFill);
        std::copy(x, x + take, m_block.begin() + static_cast<std::ptrdiff_t>(m_blockFill));
        m_blockFill += take;
        x += take;
        count -= static_cast<std::int64_t>(take);
        if (m_blockFill == m_block.size()) SumBlock();
    }
}

void LevelAccumulator::SumBlock()
{
    const auto block = static_cast<std::int64_t>(m_blockFill);
    std::vector<double> cubes(m_blockFill);
    std::vector<double> fourths(m_blockFill);
    PowersOfDeviations(m_block.data(), block, m_mean, cubes.data(), fourths.data(), m_caches);
    for (std::size_t i = 0; i < m_blockFill; ++i) {
        const float value = m_block[i];
        if (std::isnan(value)) continue;
        m_squares += (value - m_mean) * (value - m_mean);
        m_cubes += cubes[i];
        m_fourths += fourths[i];
        ++m_bins[static_cast<std::size_t>(EntropyBin(value, m_minimum, m_maximum))];
    }
    m_blockFill = 0;
}

LevelStatistics LevelAccumulator::Finish()
{
    if (m_blockFill > 0) SumBlock();
    const double n1 = static_cast<double>(m_count - 1);
    const double variance = m_squares / n1;
    const double deviation = std::sqrt(variance);
    return {m_minimum,
            m_maximum,
            m_mean,
            variance,
            deviation,
            deviation / m_mean,
            m_cubes / (std::pow(deviation, 3.0) * n1),
            m_fourths / (std::pow(deviation, 4.0) * n1),
            Entropy(m_bins, m_count)};
}

LevelSize NextLevelSize(LevelSize size)
{
    const int halfWidth = TruncToInt(size.width * 0.5);
    const int halfHeight = TruncToInt(size.height * 0.5);
    return {halfWidth + size.width % 2, halfHeight + size.height % 2};
}

// The mean of a block's valid samples (no data is NaN); NaN when none is valid.
float ValidMean(std::initializer_list<float> samples)
{
    double sum = 0.0;
    int valid = 0;
    for (const float sample : samples) {
        if (std::isnan(sample)) continue;
        sum += sample;
        ++valid;
    }
    return valid > 0 ? static_cast<float>(sum / valid) : std::nanf("");
}

bool BuildNextLevelLine(const float* even, const float* odd, int width, float* y,
                        ProgressCounter& counter)
{
    const int w2 = TruncToInt(width * 0.5);
    if (odd != nullptr) {
        if (w2 > 0 && !counter.AdvanceBy(w2)) return false;
        for (int j = 0; j < w2; ++j) {
            double sum = 0.0;
            sum += even[2 * j];
            sum += even[2 * j + 1];
            sum += odd[2 * j];
            sum += odd[2 * j + 1];
            y[j] = static_cast<float>(0.25 * sum);
            if (std::isnan(y[j])) {
                y[j] = ValidMean({even[2 * j], even[2 * j + 1], odd[2 * j], odd[2 * j + 1]});
            }
        }
        if (width % 2 != 0) {
            y[w2] = static_cast<float>(0.5 * (odd[width - 1] + even[width - 1]));
            if (std::isnan(y[w2])) y[w2] = ValidMean({odd[width - 1], even[width - 1]});
        }
        return true;
    }
    for (int j = 0; j < w2; ++j) {
        y[j] = static_cast<float>(0.5 * (even[2 * j + 1] + even[2 * j]));
        if (std::isnan(y[j])) y[j] = ValidMean({even[2 * j + 1], even[2 * j]});
    }
    if (width % 2 != 0) y[w2] = even[width - 1];
    return true;
}

bool BuildNextLevel(const float* x, LevelSize size, float* y, ProgressCounter& counter)
{
    const std::int64_t w = size.width;
    const std::int64_t stride = NextLevelSize(size).width;
    for (std::int64_t i = 0; 2 * i < size.height; ++i) {
        const float* even = x + 2 * i * w;
        const float* odd = 2 * i + 1 < size.height ? even + w : nullptr;
        if (!BuildNextLevelLine(even, odd, size.width, y + i * stride, counter)) return false;
    }
    return true;
}

LevelStatistics ComputeLevelStatistics(const float* x, std::int64_t count)
{
    LevelAccumulator accumulator(count);
    accumulator.TakeFirst(x, count);
    accumulator.StartSecondWalk();
    accumulator.TakeSecond(x, count);
    return accumulator.Finish();
}

bool WriteStatisticsTable(const std::string& path, const std::vector<LevelSize>& sizes,
                          const std::vector<LevelStatistics>& rows, Host& host)
{
    static const char kCannotWrite[] = "Error - output multi-resolution statistics!";
    static const char* const kNames[9] = {
        "Min",      "Max",      "Mean",   "Variance", "Std. deviation", "Coef. variation",
        "Skewness", "Kurtosis", "Entropy"};
    RunFiles files;  // the table is renamed into place only when written whole
    const std::string staged = files.StageOutput(path);
    FilePtr file(staged.empty() ? nullptr : std::fopen(staged.c_str(), "wb"));
    if (!file) {
        host.ShowMessage(kCannotWrite);
        return false;
    }
    std::string text = PadRight("IMAGE SIZE", 15) + "\t";
    for (const LevelSize& size : sizes) {
        text += PadRight(std::to_string(size.width) + "*" + std::to_string(size.height), 12) + "\t";
    }
    text += "\r\n";
    for (int statistic = 0; statistic < 9; ++statistic) {
        text += PadRight(kNames[statistic], 15) + "\t";
        for (const LevelStatistics& row : rows)
            text += PadRight(FixedText(row[statistic], 2), 12) + "\t";
        text += "\r\n";
    }
    text += "\r\n\r\n\r\n";
    const bool written = std::fwrite(text.data(), 1, text.size(), file.get()) == text.size();
    if (std::fclose(file.release()) != 0 || !written || !files.Commit()) {
        host.ShowMessage(kCannotWrite);
        return false;
    }
    return true;
}

}  // namespace lumesta
