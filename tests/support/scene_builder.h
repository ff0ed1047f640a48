#pragma once
// Small pan-sharpening scenes for tests: a pan band and MS bands whose pan is close to a
// weighted sum of the MS bands (16-bit with four bands, or 8-bit Landsat), written as ENVI,
// Idrisi32, GeoTIFF or headerless files.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "fusion/pansharpen_job.h"

namespace lumesta::testing {

struct Scene {
    int width = 0;   // pan size; the MS bands are a quarter of it
    int height = 0;
    std::vector<std::int16_t> pan;
    std::array<std::vector<std::int16_t>, 4> ms;  // Blue, Green, Red, NIR
};

// A deterministic scene: smooth MS bands with edges, pan = 0.3 B + 0.2 G + 0.3 R + 0.2 N plus
// a small pattern, so the regression is well conditioned.
Scene MakeScene(int width, int height);

// An 8-bit Landsat scene: `bands` MS bands (Blue, Green, Red, NIR, SWIR) of half the pan
// size, pan = 0.3 B + 0.4 G + 0.3 R plus a small pattern.
struct Scene8 {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pan;
    std::vector<std::vector<std::uint8_t>> ms;
};
Scene8 MakeScene8(int width, int height, int bands = 3);

// dataType 1: bytes, 2: 16-bit; rdcType "byte" or "integer".
void WriteEnviHeader(const std::string& imgPath, int width, int height, int bands,
                     const std::vector<std::string>& names = {}, int dataType = 2);
void WriteIdrisiHeader(const std::string& rstPath, int width, int height,
                       const std::string& rdcType = "integer");

// Writes pan.img/.hdr and blue/green/red/nir.img/.hdr into dir.
void WriteEnviScene(const std::string& dir, const Scene& scene);
// Writes pan.img/.hdr and ms.img/.hdr (four bands) into dir.
void WriteEnvi4Scene(const std::string& dir, const Scene& scene);
// Writes pan.rst/.rdc, blue/green/red/nir.rst/.rdc and ms.rgf into dir.
void WriteIdrisiScene(const std::string& dir, const Scene& scene);
// Writes pan.tif, blue/green/red/nir.tif and ms.tif (four planes) into dir.
void WriteGeoTiffScene(const std::string& dir, const Scene& scene);
// Writes pan.img/.hdr and blue, green, red (nir, swir).img/.hdr into dir.
void WriteEnviScene8(const std::string& dir, const Scene8& scene);

// A job filled as the dialog fills it after browsing pan.EXT and blue..nir.EXT of dir
// (or ms.EXT when fourBand / ms.rgf when group).
PanSharpenJob BrowsedJob(const std::string& dir, const std::string& ext, bool fourBand = false,
                         bool group = false);

}  // namespace lumesta::testing
