#include "assess/level_statistics.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <thread>

#include "core/run_files.h"
#include "core/truncate.h"
#include "assess/number_text.h"
#include "raster/text_reader.h"

namespace lumesta {
namespace {

// The third and fourth powers go through the general power function, which is slow. A level
// holds few distinct values (a 16-bit band at most 65536), so each thread remembers the powers
// of the values it met; the results are those of the power function, only fewer calls. The
// blocks are formed on every core and then summed in sample order on the calling thread.
constexpr std::int64_t kPowerBlock = std::int64_t{1} << 18;
constexpr unsigned kMaxThreads = 8;
constexpr int kCacheBits = 16;

struct PowerEntry {
    std::uint32_t valueBits = 0xffffffffu;  // a NaN pattern: no sample has it
    double cube = 0.0;
    double fourth = 0.0;
};

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

// The sums that need the mean: squares, third and fourth powers of the deviations and the
// histogram of the entropy. Each is taken in sample order; they share one walk over the level.
struct DeviationSums {
    double squares = 0.0;
    double cubes = 0.0;
    double fourths = 0.0;
    std::array<std::int64_t, 256> bins{};
};

int EntropyBin(float x, double minimum, double maximum)
{
    // A constant level has no spread: all of it falls into bin 0.
    const int bin = maximum > minimum ? TruncToInt((x - minimum) * 255.0 / (maximum - minimum)) : 0;
    return bin < 0 ? 0 : bin > 255 ? 255 : bin;
}

DeviationSums SumDeviations(const float* x, std::int64_t count, double mean, double minimum,
                            double maximum)
{
    const unsigned cores = std::max(1u, std::min(std::thread::hardware_concurrency(), kMaxThreads));
    std::vector<PowerCache> caches(count < kPowerBlock / 4 ? 1 : cores);
    std::vector<double> cubeBlock(static_cast<std::size_t>(std::min(count, kPowerBlock)));
    std::vector<double> fourthBlock(cubeBlock.size());
    DeviationSums sums;
    for (std::int64_t first = 0; first < count; first += kPowerBlock) {
        const std::int64_t block = std::min(kPowerBlock, count - first);
        PowersOfDeviations(x + first, block, mean, cubeBlock.data(), fourthBlock.data(), caches);
        for (std::int64_t i = 0; i < block; ++i) {
            const float value = x[first + i];
            sums.squares += (value - mean) * (value - mean);
            sums.cubes += cubeBlock[static_cast<std::size_t>(i)];
            sums.fourths += fourthBlock[static_cast<std::size_t>(i)];
            ++sums.bins[static_cast<std::size_t>(EntropyBin(value, minimum, maximum))];
        }
    }
    return sums;
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

LevelSize NextLevelSize(LevelSize size)
{
    const int halfWidth = TruncToInt(size.width * 0.5);
    const int halfHeight = TruncToInt(size.height * 0.5);
    return {halfWidth + size.width % 2, halfHeight + size.height % 2};
}

bool BuildNextLevel(const float* x, LevelSize size, float* y, ProgressCounter& counter)
{
    const std::int64_t w = size.width;
    const std::int64_t h = size.height;
    const std::int64_t w2 = TruncToInt(w * 0.5);
    const std::int64_t h2 = TruncToInt(h * 0.5);
    const std::int64_t stride = w2 + w % 2;  // width of the new level
    for (std::int64_t i = 0; i < h2; ++i) {
        for (std::int64_t j = 0; j < w2; ++j) {
            if (!counter.Advance()) return false;
            double sum = 0.0;
            sum += x[2 * i * w + 2 * j];
            sum += x[2 * i * w + 2 * j + 1];
            sum += x[(2 * i + 1) * w + 2 * j];
            sum += x[(2 * i + 1) * w + 2 * j + 1];
            y[i * stride + j] = static_cast<float>(0.25 * sum);
        }
    }
    if (w % 2 != 0) {
        for (std::int64_t i = 0; i < h2; ++i) {
            y[i * stride + w2] =
                static_cast<float>(0.5 * (x[(2 * i + 1) * w + w - 1] + x[2 * i * w + w - 1]));
        }
    }
    if (h % 2 != 0) {
        for (std::int64_t j = 0; j < w2; ++j) {
            y[h2 * stride + j] =
                static_cast<float>(0.5 * (x[(h - 1) * w + 2 * j + 1] + x[(h - 1) * w + 2 * j]));
        }
    }
    if (w % 2 != 0 && h % 2 != 0) y[h2 * stride + w2] = x[(h - 1) * w + w - 1];
    return true;
}

LevelStatistics ComputeLevelStatistics(const float* x, std::int64_t count)
{
    double sum = 0.0;
    double maximum = -DBL_MAX;
    double minimum = DBL_MAX;
    for (std::int64_t i = 0; i < count; ++i) {
        sum += x[i];
        if (x[i] >= maximum) maximum = x[i];
        if (x[i] <= minimum) minimum = x[i];
    }
    const double mean = sum / static_cast<double>(count);
    const DeviationSums sums = SumDeviations(x, count, mean, minimum, maximum);
    const double n1 = static_cast<double>(count - 1);
    const double variance = sums.squares / n1;
    const double deviation = std::sqrt(variance);
    return {minimum,
            maximum,
            mean,
            variance,
            deviation,
            deviation / mean,
            sums.cubes / (std::pow(deviation, 3.0) * n1),
            sums.fourths / (std::pow(deviation, 4.0) * n1),
            Entropy(sums.bins, count)};
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
