// Writes a SIZE x SIZE image of BANDS UInt16 bands as one multi-band result (ENVI, GeoTIFF or
// COG) the way a run does: strips of 64 rows through the writer, staged beside the output and
// renamed into place. The samples are synthetic, or those of BANDS raw band files (16-bit
// signed little-endian, as the 16-bit pan-sharpening tool's ENVI bands hold them; negative
// values clipped to 0). bench/output_bench.sh and bench/delivery_bench.sh time it.
//
// usage: output_bench FORMAT SIZE BANDS OUTPUT [THREADS [BAND_FILE ...]]

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "core/run_files.h"
#include "raster/output/band_file_writer.h"

namespace {

class PrintHost : public lumesta::Host {
public:
    void ShowMessage(const std::string& text) override { std::cerr << text << "\n"; }
    bool AskYesNo(const std::string&) override { return false; }
    void AppendLog(const std::string&) override {}
    void PumpPendingMessages() override {}
    bool IsCancelled() const override { return false; }
    std::unique_ptr<lumesta::RunProgress> OpenProgress(const std::string&,
                                                       lumesta::ProgressOwner) override
    {
        return nullptr;
    }
    void OpenInViewer(lumesta::ViewerKind, const std::string&) override {}
    void SetBusyCursor(bool) override {}
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 5) {
        std::cerr << "usage: output_bench envi|geotiff|cog SIZE BANDS OUTPUT [THREADS [BAND_FILE "
                     "...]]\n";
        return 2;
    }
    const auto format = lumesta::BandFileFormatNamed(argv[1]);
    const int size = std::atoi(argv[2]);
    const int bands = std::atoi(argv[3]);
    if (!format || size <= 0 || bands <= 0) return 2;
    std::vector<std::FILE*> inputs;
    for (int k = 6; k < argc; ++k) {
        inputs.push_back(std::fopen(argv[k], "rb"));
        if (inputs.back() == nullptr) {
            std::cerr << "Cannot open " << argv[k] << ".\n";
            return 1;
        }
    }
    if (!inputs.empty() && static_cast<int>(inputs.size()) != bands) {
        std::cerr << "Give one band file per band.\n";
        return 2;
    }
    lumesta::BandFileSpec spec;
    spec.format = *format;
    spec.width = spec.height = size;
    spec.bands = bands;
    spec.type = lumesta::SampleType::UInt16;
    spec.noData = 0;
    spec.threads = argc > 5 ? std::atoi(argv[5]) : 1;
    spec.geo.valid = true;
    spec.geo.originX = 500000;
    spec.geo.originY = 4200000;
    spec.geo.pixelWidth = 0.5;
    spec.geo.pixelHeight = -0.5;
    spec.geo.epsg = 32618;
    for (int k = 0; k < bands; ++k) spec.bandNames.push_back("Band " + std::to_string(k + 1));
    PrintHost host;
    lumesta::RunFiles files;
    auto writer = lumesta::OpenStagedBandFileWriter(spec, argv[4], files, host);
    if (!writer) return 1;
    constexpr int kStrip = 64;
    std::vector<std::vector<std::uint16_t>> strip(
        static_cast<std::size_t>(bands), std::vector<std::uint16_t>(std::size_t{kStrip} * size));
    std::vector<const std::uint16_t*> pointers;
    for (const auto& band : strip) pointers.push_back(band.data());
    std::uint32_t state = 12345;
    for (int row = 0; row < size; row += kStrip) {
        const int rows = std::min(kStrip, size - row);
        for (int k = 0; k < bands && !inputs.empty(); ++k) {
            auto& samples = strip[static_cast<std::size_t>(k)];
            const std::size_t count = static_cast<std::size_t>(rows) * size;
            if (std::fread(samples.data(), 2, count, inputs[static_cast<std::size_t>(k)]) != count) {
                std::cerr << "A band file is shorter than " << size << " x " << size << ".\n";
                return 1;
            }
            for (std::size_t i = 0; i < count; ++i) {
                samples[i] = static_cast<std::uint16_t>(
                    std::max<std::int16_t>(0, static_cast<std::int16_t>(samples[i])));
            }
        }
        for (int k = 0; k < bands && inputs.empty(); ++k) {
            // Smooth ramps with a little noise: compressible as imagery is, not trivially.
            for (int y = 0; y < rows; ++y) {
                for (int x = 0; x < size; ++x) {
                    state = state * 1664525u + 1013904223u;
                    strip[static_cast<std::size_t>(k)][static_cast<std::size_t>(y) * size + x] =
                        static_cast<std::uint16_t>(200 + 3 * k + (x + row + y) / 16 +
                                                   (state >> 29));
                }
            }
        }
        if (!writer->WriteRows(pointers.data(), rows)) return 1;
    }
    for (std::FILE* input : inputs) std::fclose(input);
    if (writer->Finish({}) != lumesta::RunOutcome::Finished) return 1;
    writer.reset();
    return files.Commit() ? 0 : 1;
}
