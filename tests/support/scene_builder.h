#pragma once
// Small pan-sharpening scenes for engine tests: a pan band and four MS bands whose pan is close
// to a weighted sum of the MS bands, written as ENVI, Idrisi32 or headerless files.

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

void WriteEnviHeader(const std::string& imgPath, int width, int height, int bands,
                     const std::vector<std::string>& names = {});
void WriteIdrisiHeader(const std::string& rstPath, int width, int height);

// Writes pan.img/.hdr and blue/green/red/nir.img/.hdr into dir.
void WriteEnviScene(const std::string& dir, const Scene& scene);
// Writes pan.img/.hdr and ms.img/.hdr (four bands) into dir.
void WriteEnvi4Scene(const std::string& dir, const Scene& scene);
// Writes pan.rst/.rdc, blue/green/red/nir.rst/.rdc and ms.rgf into dir.
void WriteIdrisiScene(const std::string& dir, const Scene& scene);

// A job filled as the dialog fills it after browsing pan.EXT and blue..nir.EXT of dir
// (or ms.EXT when fourBand / ms.rgf when group).
PanSharpenJob BrowsedJob(const std::string& dir, const std::string& ext, bool fourBand = false,
                         bool group = false);

}  // namespace lumesta::testing
