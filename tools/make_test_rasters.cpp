// make_test_rasters: writes synthetic test scenes for the end-to-end tests and the benchmark.
//
//   make_test_rasters pansharpen DIR --width W --height H [--layouts L,...] [--seed N]
//                     [--bits 16|8]
//   make_test_rasters raw FILE --width W --height H --bits 16|8 [--value V | --seed N]
//
// Layouts (folders of DIR): envi, envi4 (or envi3: one multi-band MS file), idrisi, generic.
//
// A pan-sharpening scene is a pan band plus multispectral (MS) bands at a coarser resolution:
// 16-bit: Blue, Green, Red, NIR at a quarter of the pan size, samples 1..2047 in signed 16-bit
// little-endian; 8-bit: Blue, Green, Red at half the pan size, bytes 1..255. The scene is
// modelled as ground reflectance per band at pan resolution (smooth random terrain, vegetation
// patches, roofs and roads with sharp edges); the pan is a weighted sum of the bands plus noise
// and each MS pixel the block mean of its band plus noise and a band offset, so that a linear
// fit of the pan on the MS bands is well conditioned but not exact. Everything is generated
// row by row and streamed to the files, so very large scenes need only a few rows of memory.
// The output depends only on the seed and the size, never on the standard library's
// distributions. Nothing is printed on success; errors go to standard error.

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include <tiffio.h>

namespace lumesta {
namespace {

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

constexpr char kUsage[] =
    "usage: make_test_rasters pansharpen DIR --width W --height H "
    "[--layouts envi,envi4,idrisi,generic] [--seed N] [--bits 16|8]\n"
    "       make_test_rasters raw FILE --width W --height H --bits 16|8 [--value V | --seed N]\n"
    "       make_test_rasters geotiff OUT.tif --width W --height H --bits 16|8 RAW [RAW ...]\n";

// Random numbers: splitmix64, identical on every platform and library.

std::uint64_t Mix64(std::uint64_t x)
{
    x ^= x >> 30;
    x *= 0xbf58476d1ce4e5b9ULL;
    x ^= x >> 27;
    x *= 0x94d049bb133111ebULL;
    x ^= x >> 31;
    return x;
}

// A sequential generator for per-pixel noise.
class SplitMix64 {
public:
    explicit SplitMix64(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t Next() { return Mix64(m_state += 0x9e3779b97f4a7c15ULL); }
    // triangular in (-amplitude, amplitude), mean 0
    float NextNoise(float amplitude)
    {
        const std::uint64_t bits = Next();
        const float u1 = static_cast<float>(bits >> 40) * (1.0f / 16777216.0f);
        const float u2 = static_cast<float>(bits & 0xffffff) * (1.0f / 16777216.0f);
        return (u1 + u2 - 1.0f) * amplitude;
    }

private:
    std::uint64_t m_state;
};

// A stateless hash of four integers to [0, 1), for features placed on a grid.
float HashUnit(std::uint64_t seed, std::uint64_t a, std::uint64_t b, std::uint64_t c)
{
    std::uint64_t h = Mix64(seed + 0x9e3779b97f4a7c15ULL);
    h = Mix64(h ^ (a + 0x632be59bd9b4e019ULL));
    h = Mix64(h ^ (b + 0x8cb92ba72f3d8dd7ULL));
    h = Mix64(h ^ (c + 0xd6e8feb86659fd93ULL));
    return static_cast<float>(h >> 40) * (1.0f / 16777216.0f);
}

float SmoothStep(float t)
{
    return t * t * (3.0f - 2.0f * t);
}

// Multi-octave value noise in [0, 1], evaluated one row at a time. Each octave keeps its two
// current lattice rows interpolated across the whole width, so a pixel costs one blend per
// octave and the memory is a few rows.

class SmoothField {
public:
    SmoothField(std::uint64_t seed, int width, int largestCell, int octaveCount) : m_seed(seed)
    {
        float amplitude = 1.0f;
        float total = 0.0f;
        for (int i = 0; i < octaveCount; ++i) {
            Octave octave;
            octave.cell = std::max(2, largestCell >> i);
            octave.amplitude = amplitude;
            octave.upper.resize(width);
            octave.lower.resize(width);
            m_octaves.push_back(std::move(octave));
            total += amplitude;
            amplitude *= 0.5f;
        }
        for (Octave& octave : m_octaves) octave.amplitude /= total;
    }

    // Fills out[0 .. width-1] with the field's values on row y; rows are asked in increasing order.
    void Row(int y, float* out)
    {
        const int width = static_cast<int>(m_octaves.front().upper.size());
        std::fill(out, out + width, 0.0f);
        for (std::size_t i = 0; i < m_octaves.size(); ++i) {
            Octave& octave = m_octaves[i];
            const int latticeRow = y / octave.cell;
            if (latticeRow != octave.latticeRow) {
                if (latticeRow == octave.latticeRow + 1) {
                    octave.upper.swap(octave.lower);
                } else {
                    FillLatticeRow(i, latticeRow, octave.upper);
                }
                FillLatticeRow(i, latticeRow + 1, octave.lower);
                octave.latticeRow = latticeRow;
            }
            const float t = SmoothStep(static_cast<float>(y % octave.cell) / octave.cell);
            const float amplitude = octave.amplitude;
            const float* upper = octave.upper.data();
            const float* lower = octave.lower.data();
            for (int x = 0; x < width; ++x)
                out[x] += amplitude * (upper[x] + (lower[x] - upper[x]) * t);
        }
    }

private:
    struct Octave {
        int cell = 0;
        float amplitude = 0.0f;
        int latticeRow = -2;
        std::vector<float> upper;  // lattice row latticeRow, interpolated across the width
        std::vector<float> lower;  // lattice row latticeRow + 1
    };

    void FillLatticeRow(std::size_t octaveIndex, int latticeRow, std::vector<float>& row) const
    {
        const int cell = m_octaves[octaveIndex].cell;
        const int width = static_cast<int>(row.size());
        float left = HashUnit(m_seed, octaveIndex, static_cast<std::uint64_t>(latticeRow), 0);
        for (int x0 = 0; x0 < width; x0 += cell) {
            const std::uint64_t column = static_cast<std::uint64_t>(x0 / cell) + 1;
            const float right =
                HashUnit(m_seed, octaveIndex, static_cast<std::uint64_t>(latticeRow), column);
            const int end = std::min(width, x0 + cell);
            for (int x = x0; x < end; ++x) {
                const float s = SmoothStep(static_cast<float>(x - x0) / cell);
                row[x] = left + (right - left) * s;
            }
            left = right;
        }
    }

    std::uint64_t m_seed;
    std::vector<Octave> m_octaves;
};

// Roofs and roads: sharp-edged objects that give the pan its high-frequency detail.

class UrbanLayout {
public:
    UrbanLayout(std::uint64_t seed, int width) : m_seed(seed), m_width(width)
    {
        for (int block = 0; block * kRoadBlock < width; ++block) {
            const Span road = RoadInBlock(kVerticalRoad, block);
            if (road.end > road.begin) m_verticalRoads.push_back(road);
        }
    }

    // Overwrites brightness s, vegetation v and tint t of row y where a roof or a road lies.
    void Apply(int y, float* s, float* v, float* t)
    {
        const int tileRow = y / kTile;
        if (tileRow != m_tileRow) PlaceRoofs(tileRow);
        for (const Roof& roof : m_roofs) {
            if (y < roof.top || y >= roof.bottom) continue;
            for (int x = roof.left; x < roof.right; ++x) {
                s[x] = roof.brightness;
                v[x] = 0.0f;
                t[x] = roof.tint;
            }
        }
        for (const Span& road : m_verticalRoads) PaveRoad(road.begin, road.end, s, v, t);
        const Span across = RoadInBlock(kHorizontalRoad, y / kRoadBlock);
        if (y >= across.begin && y < across.end) PaveRoad(0, m_width, s, v, t);
    }

private:
    static constexpr int kTile = 32;
    static constexpr int kRoadBlock = 256;
    static constexpr std::uint64_t kVerticalRoad = 101;
    static constexpr std::uint64_t kHorizontalRoad = 102;
    static constexpr std::uint64_t kRoofKind = 103;

    struct Span {
        int begin = 0;
        int end = 0;
    };
    struct Roof {
        int left, right, top, bottom;
        float brightness, tint;
    };

    float Hash(std::uint64_t kind, int a, int b, int salt) const
    {
        return HashUnit(m_seed ^ (kind << 56), static_cast<std::uint64_t>(a),
                        static_cast<std::uint64_t>(b), static_cast<std::uint64_t>(salt));
    }

    // About two blocks in three carry a road 4 to 11 pixels wide, at a random place.
    Span RoadInBlock(std::uint64_t kind, int block) const
    {
        Span road;
        if (Hash(kind, block, 0, 0) > 0.65f) return road;
        road.begin = block * kRoadBlock + 16 + static_cast<int>(Hash(kind, block, 0, 1) * 200.0f);
        road.end = road.begin + 4 + static_cast<int>(Hash(kind, block, 0, 2) * 8.0f);
        return road;
    }

    void PaveRoad(int begin, int end, float* s, float* v, float* t) const
    {
        for (int x = begin; x < std::min(end, m_width); ++x) {
            s[x] = 170.0f + 0.1f * s[x];
            v[x] = 0.0f;
            t[x] = 0.15f;
        }
    }

    // Roofs of the tiles of one tile row; about half the tiles hold one, 10 to 27 pixels a side.
    void PlaceRoofs(int tileRow)
    {
        m_tileRow = tileRow;
        // Roofs of the tile row above may reach into this one.
        const int top = tileRow * kTile;
        m_roofs.erase(std::remove_if(m_roofs.begin(), m_roofs.end(),
                                     [top](const Roof& roof) { return roof.bottom <= top; }),
                      m_roofs.end());
        for (int tile = 0; tile * kTile < m_width; ++tile) {
            if (Hash(kRoofKind, tile, tileRow, 0) > 0.5f) continue;
            Roof roof;
            roof.left =
                tile * kTile + 2 + static_cast<int>(Hash(kRoofKind, tile, tileRow, 1) * 8.0f);
            roof.right =
                std::min(m_width, roof.left + 10 +
                                      static_cast<int>(Hash(kRoofKind, tile, tileRow, 2) * 18.0f));
            roof.top =
                tileRow * kTile + 2 + static_cast<int>(Hash(kRoofKind, tile, tileRow, 3) * 8.0f);
            roof.bottom =
                roof.top + 10 + static_cast<int>(Hash(kRoofKind, tile, tileRow, 4) * 18.0f);
            const float shade = Hash(kRoofKind, tile, tileRow, 5);
            roof.brightness = 250.0f + 1650.0f * shade * shade;
            roof.tint = Hash(kRoofKind, tile, tileRow, 6);
            m_roofs.push_back(roof);
        }
    }

    std::uint64_t m_seed;
    int m_width;
    int m_tileRow = -1;
    std::vector<Roof> m_roofs;
    std::vector<Span> m_verticalRoads;
};

// The ground: per band reflectance in digital numbers at pan resolution.

constexpr int kMaxBands = 4;  // Blue, Green, Red, NIR
// Signal that only the pan sees (its wider spectral range): the fit of the pan on the MS bands
// is then good but not exact, as with real sensors.
constexpr int kPanOnly = kMaxBands;
using BandRows = std::array<std::vector<float>, kMaxBands + 1>;

class GroundModel {
public:
    GroundModel(std::uint64_t seed, int width)
        : m_brightness(Mix64(seed ^ 1), width, 256, 6),
          m_vegetation(Mix64(seed ^ 2), width, 128, 4),
          m_tint(Mix64(seed ^ 3), width, 192, 3),
          m_panOnlyField(Mix64(seed ^ 7), width, 64, 3),
          m_urban(Mix64(seed ^ 4), width),
          m_texture(Mix64(seed ^ 5)),
          m_s(width),
          m_v(width),
          m_t(width),
          m_panOnly(width)
    {
    }

    // Fills bands[b][0 .. width-1] with the four band values and the pan-only signal of row y
    // (rows in increasing order).
    void Row(int y, BandRows& bands)
    {
        const int width = static_cast<int>(m_s.size());
        m_brightness.Row(y, m_s.data());
        m_vegetation.Row(y, m_v.data());
        m_tint.Row(y, m_t.data());
        m_panOnlyField.Row(y, m_panOnly.data());
        for (int x = 0; x < width; ++x) {
            const float g = std::clamp((m_s[x] - 0.25f) * 2.0f, 0.0f, 1.0f);
            m_s[x] = 110.0f + 750.0f * g * g;
            m_v[x] = SmoothStep(std::clamp((m_v[x] - 0.45f) * 5.0f, 0.0f, 1.0f));
        }
        m_urban.Apply(y, m_s.data(), m_v.data(), m_t.data());
        for (int x = 0; x < width; ++x) {
            const float s = m_s[x] + m_texture.NextNoise(30.0f);
            const float v = m_v[x];
            const float t = m_t[x];
            bands[0][x] = 0.70f * s * (1.0f - 0.5f * v) + 110.0f * (1.0f - t) + 40.0f;
            bands[1][x] = 0.85f * s * (1.0f - 0.3f * v) + 90.0f * v + 40.0f * t + 40.0f;
            bands[2][x] = 0.90f * s * (1.0f - 0.6f * v) + 260.0f * t + 10.0f;
            bands[3][x] = 0.75f * s * (1.0f - 0.2f * v) + 650.0f * v + 60.0f * t + 40.0f;
            bands[kPanOnly][x] = 220.0f * (m_panOnly[x] - 0.5f);
        }
    }

private:
    SmoothField m_brightness;
    SmoothField m_vegetation;
    SmoothField m_tint;
    SmoothField m_panOnlyField;
    UrbanLayout m_urban;
    SplitMix64 m_texture;
    std::vector<float> m_s, m_v, m_t, m_panOnly;
};

// Scene kinds.

struct SceneKind {
    int bits;
    int ratio;      // pan pixels per MS pixel along each axis
    int bandCount;  // MS bands
    float scale;    // from 11-bit ground values to sample values
    int minValue, maxValue;
    std::array<float, kMaxBands> panWeights;
    std::array<float, kMaxBands> msOffsets;
};

constexpr SceneKind kScene16{16, 4, 4, 1.0f, 1, 2047, {0.3f, 0.2f, 0.3f, 0.2f}, {12, -8, 5, 15}};
constexpr SceneKind kScene8{8, 2, 3, 0.125f, 1, 255, {0.25f, 0.35f, 0.4f, 0.0f}, {2, -1, 1, 0}};

constexpr std::array<const char*, kMaxBands> kBandStems{"blue", "green", "red", "nir"};
constexpr std::array<const char*, kMaxBands> kBandNames{"Blue", "Green", "Red", "NIR"};

int Quantize(float value, const SceneKind& kind)
{
    const float rounded = std::floor(value + 0.5f);
    if (!(rounded >= kind.minValue)) return kind.minValue;  // NaN too
    if (rounded > kind.maxValue) return kind.maxValue;
    return static_cast<int>(rounded);
}

// Output files. A file holds one or more bands stored one after the other (band-sequential);
// rows are written at their place, so bands may be produced interleaved.

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

class BandFile {
public:
    // Creates (truncates) the file; false after a message when it cannot be created.
    bool Create(const std::string& path, std::int64_t bandBytes)
    {
        m_path = path;
        m_bandBytes = bandBytes;
        m_file.reset(std::fopen(path.c_str(), "wb"));
        if (!m_file) std::fprintf(stderr, "make_test_rasters: cannot create %s\n", path.c_str());
        return m_file != nullptr;
    }

    // Writes the bytes of row `offset` bytes into band `band`; false after a message on failure.
    bool Write(int band, std::int64_t offset, const std::vector<std::uint8_t>& bytes)
    {
        const std::int64_t position = band * m_bandBytes + offset;
        bool ok = true;
        if (position != m_position) ok = fseeko(m_file.get(), position, SEEK_SET) == 0;
        ok = ok && std::fwrite(bytes.data(), 1, bytes.size(), m_file.get()) == bytes.size();
        m_position = position + static_cast<std::int64_t>(bytes.size());
        if (!ok) std::fprintf(stderr, "make_test_rasters: cannot write %s\n", m_path.c_str());
        return ok;
    }

    // Flushes and closes; false after a message when the last bytes cannot be written.
    bool Close()
    {
        const bool ok = std::fclose(m_file.release()) == 0;
        if (!ok) std::fprintf(stderr, "make_test_rasters: cannot write %s\n", m_path.c_str());
        return ok;
    }

private:
    std::string m_path;
    std::int64_t m_bandBytes = 0;
    std::int64_t m_position = 0;
    std::unique_ptr<std::FILE, FileCloser> m_file;
};

bool WriteTextFile(const std::string& path, const std::string& text)
{
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    bool ok = file && std::fwrite(text.data(), 1, text.size(), file.get()) == text.size();
    ok = file && std::fclose(file.release()) == 0 && ok;
    if (!ok) std::fprintf(stderr, "make_test_rasters: cannot write %s\n", path.c_str());
    return ok;
}

// Little-endian samples of one row; tracks the band's value range for the Idrisi headers.
struct BandStats {
    int minValue = 1 << 30;
    int maxValue = -(1 << 30);
};

void EncodeRow(const std::vector<int>& values, int bytesPerSample, std::vector<std::uint8_t>& bytes,
               BandStats& stats)
{
    bytes.resize(values.size() * bytesPerSample);
    for (std::size_t i = 0; i < values.size(); ++i) {
        const int value = values[i];
        stats.minValue = std::min(stats.minValue, value);
        stats.maxValue = std::max(stats.maxValue, value);
        if (bytesPerSample == 1) {
            bytes[i] = static_cast<std::uint8_t>(value);
        } else {
            const auto sample = static_cast<std::uint16_t>(static_cast<std::int16_t>(value));
            bytes[2 * i] = static_cast<std::uint8_t>(sample & 0xff);
            bytes[2 * i + 1] = static_cast<std::uint8_t>(sample >> 8);
        }
    }
}

// Headers, in the exact layouts of the real scenes.

std::string EnviHeader(const std::string& dataName, int width, int height, int dataType,
                       const std::vector<std::string>& bandNames)
{
    std::string text = "ENVI\ndescription = {\n" + dataName + "}\n";
    text += "samples = " + std::to_string(width) + "\n";
    text += "lines   = " + std::to_string(height) + "\n";
    text += "bands   = " + std::to_string(bandNames.size()) + "\n";
    text += "header offset = 0\nfile type = ENVI Standard\n";
    text += "data type = " + std::to_string(dataType) + "\n";
    text += "interleave = bsq\nbyte order = 0\nband names = {\n";
    for (std::size_t i = 0; i < bandNames.size(); ++i) {
        text += bandNames[i] + (i + 1 < bandNames.size() ? ",\n" : "}\n");
    }
    return text;
}

std::string IdrisiHeader(int width, int height, bool bytes, const BandStats& stats)
{
    const std::string w = std::to_string(width);
    const std::string h = std::to_string(height);
    const std::string low = std::to_string(stats.minValue);
    const std::string high = std::to_string(stats.maxValue);
    const char* const lines[] = {"file format : Idrisi Raster A.1", "file title  : ",
                                 bytes ? "data type   : byte" : "data type   : integer",
                                 "file type   : binary"};
    std::string text;
    for (const char* line : lines) text += std::string(line) + "\r\n";
    text += "columns     : " + w + "\r\nrows        : " + h + "\r\n";
    text += "ref. system : plane\r\nref. units  : m\r\nunit dist.  : 1\r\n";
    text += "min. X      : 0\r\nmax. X      : " + w + "\r\n";
    text += "min. Y      : 0\r\nmax. Y      : " + h + "\r\n";
    text += "pos'n error : unspecified\r\nresolution  : 1.0\r\n";
    text += "min. value  : " + low + "\r\nmax. value  : " + high + "\r\n";
    text += "display min : " + low + "\r\ndisplay max : " + high + "\r\n";
    text += "value units : unspecified\r\nvalue error : unspecified\r\n";
    text += "flag value  : none\r\nflag def'n  : none\r\nlegend cats : 0\r\n";
    text += "lineage     : \r\ncomment     : \r\n";
    return text;
}

// Layouts of a scene: which files receive which band.

enum class Layout { Envi, EnviMulti, Idrisi, Generic };

struct LayoutRequest {
    Layout layout;
    std::string folder;
};

struct SceneOptions {
    std::string dir;
    int width = 0;
    int height = 0;
    int bits = 16;
    std::uint64_t seed = 1;
    std::vector<LayoutRequest> layouts;
};

// Band 0 is the pan, bands 1.. the MS bands.
struct BandTarget {
    BandFile* file;
    int bandInFile;
};

class SceneFiles {
public:
    SceneFiles(const SceneOptions& options, const SceneKind& kind)
        : m_options(options),
          m_kind(kind),
          m_targets(1 + kind.bandCount),
          m_stats(1 + kind.bandCount)
    {
    }

    // Creates the folders and data files of every requested layout.
    bool Create()
    {
        for (const LayoutRequest& request : m_options.layouts) {
            const std::string folder = m_options.dir + "/" + request.folder;
            std::error_code error;
            std::filesystem::create_directories(folder, error);
            if (error) {
                std::fprintf(stderr, "make_test_rasters: cannot create %s\n", folder.c_str());
                return false;
            }
            if (!CreateLayout(request.layout, folder)) return false;
        }
        return true;
    }

    // Writes one row of band `band` (0 pan, 1.. MS) to every file that holds the band.
    bool WriteRow(int band, int row, const std::vector<int>& values)
    {
        EncodeRow(values, BytesPerSample(), m_bytes, m_stats[band]);
        const std::int64_t offset = static_cast<std::int64_t>(row) * m_bytes.size();
        for (const BandTarget& target : m_targets[band]) {
            if (!target.file->Write(target.bandInFile, offset, m_bytes)) return false;
        }
        return true;
    }

    // Closes the data files and writes the headers and group files.
    bool Finish()
    {
        for (auto& file : m_files) {
            if (!file->Close()) return false;
        }
        for (const LayoutRequest& request : m_options.layouts) {
            if (!WriteHeaders(request.layout, m_options.dir + "/" + request.folder)) return false;
        }
        return true;
    }

private:
    int BytesPerSample() const { return m_kind.bits / 8; }
    int BandWidth(int band) const
    {
        return band == 0 ? m_options.width : m_options.width / m_kind.ratio;
    }
    int BandHeight(int band) const
    {
        return band == 0 ? m_options.height : m_options.height / m_kind.ratio;
    }
    std::int64_t BandBytes(int band) const
    {
        return static_cast<std::int64_t>(BandWidth(band)) * BandHeight(band) * BytesPerSample();
    }
    static std::string Stem(int band) { return band == 0 ? "pan" : kBandStems[band - 1]; }
    static std::string Name(int band) { return band == 0 ? "Pan" : kBandNames[band - 1]; }

    bool AddFile(const std::string& path, const std::vector<int>& bands)
    {
        m_files.push_back(std::make_unique<BandFile>());
        if (!m_files.back()->Create(path, BandBytes(bands.front()))) return false;
        for (std::size_t i = 0; i < bands.size(); ++i) {
            m_targets[bands[i]].push_back({m_files.back().get(), static_cast<int>(i)});
        }
        return true;
    }

    bool CreateLayout(Layout layout, const std::string& folder)
    {
        const int bandTotal = 1 + m_kind.bandCount;
        if (layout == Layout::EnviMulti) {
            std::vector<int> msBands;
            for (int band = 1; band < bandTotal; ++band) msBands.push_back(band);
            return AddFile(folder + "/pan.img", {0}) && AddFile(folder + "/ms.img", msBands);
        }
        const char* extension = layout == Layout::Envi     ? ".img"
                                : layout == Layout::Idrisi ? ".rst"
                                                           : ".raw";
        for (int band = 0; band < bandTotal; ++band) {
            if (!AddFile(folder + "/" + Stem(band) + extension, {band})) return false;
        }
        return true;
    }

    bool WriteHeaders(Layout layout, const std::string& folder) const
    {
        const int bandTotal = 1 + m_kind.bandCount;
        if (layout == Layout::Generic) return true;
        if (layout == Layout::EnviMulti) {
            std::vector<std::string> names;
            for (int band = 1; band < bandTotal; ++band) names.push_back(Name(band));
            return WriteEnviHeader(folder, "pan", 0, {"Pan"}) &&
                   WriteEnviHeader(folder, "ms", 1, names);
        }
        for (int band = 0; band < bandTotal; ++band) {
            const std::string base = folder + "/" + Stem(band);
            const bool ok =
                layout == Layout::Envi
                    ? WriteEnviHeader(folder, Stem(band), band, {Name(band)})
                    : WriteTextFile(base + ".rdc", IdrisiHeader(BandWidth(band), BandHeight(band),
                                                                m_kind.bits == 8, m_stats[band]));
            if (!ok) return false;
        }
        return layout != Layout::Idrisi || WriteGroupFile(folder + "/ms.rgf");
    }

    // The header of data file stem.img, whose bands have the size of band `band`.
    bool WriteEnviHeader(const std::string& folder, const std::string& stem, int band,
                         const std::vector<std::string>& names) const
    {
        const int dataType = m_kind.bits == 8 ? 1 : 2;
        return WriteTextFile(
            folder + "/" + stem + ".hdr",
            EnviHeader(stem + ".img", BandWidth(band), BandHeight(band), dataType, names));
    }

    // The group file lists the MS bands; the 16-bit scenes end its lines with CR LF, the 8-bit
    // ones with LF, as the real scenes do.
    bool WriteGroupFile(const std::string& path) const
    {
        const std::string lineEnd = m_kind.bits == 8 ? "\n" : "\r\n";
        std::string text = std::to_string(m_kind.bandCount) + lineEnd;
        for (int band = 1; band <= m_kind.bandCount; ++band) text += Stem(band) + lineEnd;
        return WriteTextFile(path, text);
    }

    const SceneOptions& m_options;
    const SceneKind& m_kind;
    std::vector<std::unique_ptr<BandFile>> m_files;
    std::vector<std::vector<BandTarget>> m_targets;
    std::vector<BandStats> m_stats;
    std::vector<std::uint8_t> m_bytes;
};

// The scene generator: one pan row at a time; every `ratio` pan rows complete one MS row.

class SceneWriter {
public:
    SceneWriter(const SceneOptions& options, const SceneKind& kind, SceneFiles& files)
        : m_options(options),
          m_kind(kind),
          m_files(files),
          m_ground(options.seed, options.width),
          m_noise(Mix64(options.seed ^ 6)),
          m_msWidth(options.width / kind.ratio),
          m_msHeight(options.height / kind.ratio),
          m_panValues(options.width),
          m_msValues(m_msWidth)
    {
        for (auto& row : m_bands) row.resize(options.width);
        for (auto& sums : m_msSums) sums.assign(m_msWidth, 0.0);
    }

    bool Run()
    {
        for (int y = 0; y < m_options.height; ++y) {
            m_ground.Row(y, m_bands);
            if (!WritePanRow(y)) return false;
            if (y / m_kind.ratio >= m_msHeight) continue;  // rows beyond the last whole MS row
            AccumulateMs();
            if (y % m_kind.ratio == m_kind.ratio - 1 && !WriteMsRows(y / m_kind.ratio))
                return false;
        }
        return true;
    }

private:
    bool WritePanRow(int y)
    {
        for (int x = 0; x < m_options.width; ++x) {
            float pan = m_bands[kPanOnly][x];
            for (int b = 0; b < m_kind.bandCount; ++b) pan += m_kind.panWeights[b] * m_bands[b][x];
            m_panValues[x] = Quantize((pan + m_noise.NextNoise(8.0f)) * m_kind.scale, m_kind);
        }
        return m_files.WriteRow(0, y, m_panValues);
    }

    void AccumulateMs()
    {
        const int ratio = m_kind.ratio;
        for (int b = 0; b < m_kind.bandCount; ++b) {
            const float* row = m_bands[b].data();
            double* sums = m_msSums[b].data();
            for (int i = 0; i < m_msWidth; ++i) {
                for (int k = 0; k < ratio; ++k) sums[i] += row[i * ratio + k];
            }
        }
    }

    bool WriteMsRows(int msRow)
    {
        const double cellArea = static_cast<double>(m_kind.ratio) * m_kind.ratio;
        for (int b = 0; b < m_kind.bandCount; ++b) {
            for (int i = 0; i < m_msWidth; ++i) {
                const float mean = static_cast<float>(m_msSums[b][i] / cellArea);
                const float value = mean + m_kind.msOffsets[b] + m_noise.NextNoise(4.0f);
                m_msValues[i] = Quantize(value * m_kind.scale, m_kind);
            }
            std::fill(m_msSums[b].begin(), m_msSums[b].end(), 0.0);
            if (!m_files.WriteRow(1 + b, msRow, m_msValues)) return false;
        }
        return true;
    }

    const SceneOptions& m_options;
    const SceneKind& m_kind;
    SceneFiles& m_files;
    GroundModel m_ground;
    SplitMix64 m_noise;
    int m_msWidth;
    int m_msHeight;
    BandRows m_bands;
    std::array<std::vector<double>, kMaxBands> m_msSums;
    std::vector<int> m_panValues;
    std::vector<int> m_msValues;
};

// Command line.

bool ParseInt64(const std::string& text, std::int64_t& value)
{
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return result.ec == std::errc() && result.ptr == end && !text.empty();
}

bool ParseUInt64(const std::string& text, std::uint64_t& value)
{
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return result.ec == std::errc() && result.ptr == end && !text.empty();
}

bool ParseSize(const std::string& text, int& value)
{
    std::int64_t parsed = 0;
    if (!ParseInt64(text, parsed) || parsed < 1 || parsed > 1'000'000) return false;
    value = static_cast<int>(parsed);
    return true;
}

bool ParseBits(const std::string& text, int& bits)
{
    if (text != "16" && text != "8") return false;
    bits = text == "8" ? 8 : 16;
    return true;
}

// "envi4" and "envi3" both name the layout with one multi-band MS file; the folder keeps the name.
bool ParseLayouts(const std::string& text, std::vector<LayoutRequest>& layouts)
{
    layouts.clear();
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const std::string name = text.substr(start, comma - start);
        if (name == "envi") {
            layouts.push_back({Layout::Envi, name});
        } else if (name == "envi4" || name == "envi3") {
            layouts.push_back({Layout::EnviMulti, name});
        } else if (name == "idrisi") {
            layouts.push_back({Layout::Idrisi, name});
        } else if (name == "generic") {
            layouts.push_back({Layout::Generic, name});
        } else {
            return false;
        }
        start = comma + 1;
    }
    return true;
}

bool ParseSceneOptions(int argc, char** argv, SceneOptions& options)
{
    if (argc < 3) return false;
    options.dir = argv[2];
    bool layoutsGiven = false;
    for (int i = 3; i < argc; i += 2) {
        const std::string option = argv[i];
        if (i + 1 >= argc) return false;
        const std::string value = argv[i + 1];
        bool ok = false;
        if (option == "--width") ok = ParseSize(value, options.width);
        if (option == "--height") ok = ParseSize(value, options.height);
        if (option == "--bits") ok = ParseBits(value, options.bits);
        if (option == "--seed") ok = ParseUInt64(value, options.seed);
        if (option == "--layouts") ok = layoutsGiven = ParseLayouts(value, options.layouts);
        if (!ok) return false;
    }
    if (!layoutsGiven)
        ParseLayouts(options.bits == 8 ? "envi,envi3,idrisi,generic" : "envi,envi4,idrisi,generic",
                     options.layouts);
    const int ratio = options.bits == 8 ? kScene8.ratio : kScene16.ratio;
    return options.width >= ratio && options.height >= ratio;
}

int RunScene(int argc, char** argv)
{
    SceneOptions options;
    if (!ParseSceneOptions(argc, argv, options)) {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    const SceneKind& kind = options.bits == 8 ? kScene8 : kScene16;
    SceneFiles files(options, kind);
    if (!files.Create()) return kExitFailure;
    SceneWriter writer(options, kind, files);
    if (!writer.Run() || !files.Finish()) return kExitFailure;
    return kExitSuccess;
}

struct RawOptions {
    std::string path;
    int width = 0;
    int height = 0;
    int bits = 0;
    bool constant = false;
    std::int64_t value = 0;
    std::uint64_t seed = 1;
};

bool ParseRawOptions(int argc, char** argv, RawOptions& options)
{
    if (argc < 3) return false;
    options.path = argv[2];
    bool seeded = false;
    for (int i = 3; i < argc; i += 2) {
        const std::string option = argv[i];
        if (i + 1 >= argc) return false;
        const std::string value = argv[i + 1];
        bool ok = false;
        if (option == "--width") ok = ParseSize(value, options.width);
        if (option == "--height") ok = ParseSize(value, options.height);
        if (option == "--bits") ok = ParseBits(value, options.bits);
        if (option == "--seed") ok = seeded = ParseUInt64(value, options.seed);
        if (option == "--value") ok = options.constant = ParseInt64(value, options.value);
        if (!ok) return false;
    }
    const std::int64_t low = options.bits == 8 ? 0 : -32768;
    const std::int64_t high = options.bits == 8 ? 255 : 32767;
    const bool valueOk = !options.constant || (options.value >= low && options.value <= high);
    return options.width > 0 && options.height > 0 && options.bits != 0 && valueOk &&
           !(options.constant && seeded);
}

// A single headerless band: a constant, or uniform random values (1..2047 or 0..255).
int RunRaw(int argc, char** argv)
{
    RawOptions options;
    if (!ParseRawOptions(argc, argv, options)) {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    BandFile file;
    const int bytesPerSample = options.bits / 8;
    if (!file.Create(options.path, 0)) return kExitFailure;
    SplitMix64 random(options.seed);
    std::vector<int> values(options.width);
    std::vector<std::uint8_t> bytes;
    BandStats stats;
    for (int y = 0; y < options.height; ++y) {
        for (int& value : values) {
            value = options.constant    ? static_cast<int>(options.value)
                    : options.bits == 8 ? static_cast<int>(random.Next() % 256)
                                        : 1 + static_cast<int>(random.Next() % 2047);
        }
        EncodeRow(values, bytesPerSample, bytes, stats);
        if (!file.Write(0, static_cast<std::int64_t>(y) * bytes.size(), bytes)) return kExitFailure;
    }
    return file.Close() ? kExitSuccess : kExitFailure;
}

}  // namespace
}  // namespace lumesta

namespace lumesta {
namespace {

// Writes raw band files (1 to 4) as one stripped TIFF without georeferencing, separate planes
// when there is more than one band. 16-bit samples are
// signed, as the scenes' raw files hold them.
int RunGeoTiff(int argc, char** argv)
{
    if (argc < 10) {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    const std::string out = argv[2];
    long width = 0, height = 0, bits = 0;
    std::vector<std::string> raws;
    for (int i = 3; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--width" || arg == "--height" || arg == "--bits") && i + 1 < argc) {
            const long value = std::strtol(argv[++i], nullptr, 10);
            (arg == "--width" ? width : arg == "--height" ? height : bits) = value;
        } else {
            raws.push_back(arg);
        }
    }
    if (width <= 0 || height <= 0 || (bits != 8 && bits != 16) || raws.empty() || raws.size() > 4) {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    const std::size_t rowBytes = static_cast<std::size_t>(width) * (bits / 8);
    TIFF* tiff = TIFFOpen(out.c_str(), "w");
    if (!tiff) {
        std::fprintf(stderr, "make_test_rasters: cannot create %s\n", out.c_str());
        return kExitFailure;
    }
    const auto planes = static_cast<std::uint16_t>(raws.size());
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(width));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(height));
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, static_cast<std::uint16_t>(bits));
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, planes);
    TIFFSetField(tiff, TIFFTAG_SAMPLEFORMAT, bits == 16 ? SAMPLEFORMAT_INT : SAMPLEFORMAT_UINT);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, planes > 1 ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 7u);
    if (planes > 1) {
        std::vector<std::uint16_t> extra(planes - 1u, EXTRASAMPLE_UNSPECIFIED);
        TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, static_cast<std::uint16_t>(extra.size()), extra.data());
    }
    std::vector<unsigned char> row(rowBytes);
    bool ok = true;
    for (std::uint16_t plane = 0; plane < planes && ok; ++plane) {
        std::FILE* in = std::fopen(raws[plane].c_str(), "rb");
        ok = in != nullptr;
        for (long y = 0; y < height && ok; ++y) {
            ok = std::fread(row.data(), 1, rowBytes, in) == rowBytes &&
                 TIFFWriteScanline(tiff, row.data(), static_cast<std::uint32_t>(y), plane) == 1;
        }
        if (in) std::fclose(in);
    }
    TIFFClose(tiff);
    if (!ok) {
        std::fprintf(stderr, "make_test_rasters: cannot write %s from its raw files\n", out.c_str());
        std::remove(out.c_str());
        return kExitFailure;
    }
    return 0;
}

}  // namespace
}  // namespace lumesta

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "geotiff") return lumesta::RunGeoTiff(argc, argv);
    if (command == "pansharpen") return lumesta::RunScene(argc, argv);
    if (command == "raw") return lumesta::RunRaw(argc, argv);
    std::fputs(lumesta::kUsage, stderr);
    return lumesta::kExitUsage;
}
