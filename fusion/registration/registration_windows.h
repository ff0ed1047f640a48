#pragma once
// Where registration looks: the MS pixels whose pan neighbourhood lies inside the pan, a coarse
// map of their valid detail, and the windows with the most of it.

#include <functional>
#include <string>
#include <vector>

#include "fusion/registration/degraded_pan.h"
#include "fusion/registration/valid_samples.h"

namespace lumesta {

// The MS pixels (of an msWidth × msHeight grid) whose degraded-pan sample, as sampling places
// it, reads only pan pixels inside a panWidth × panHeight pan; columns or rows 0 when none.
MsWindow UsableArea(int msWidth, int msHeight, int panWidth, int panHeight,
                    const PanSampling& sampling);

// The squared differences of neighbouring valid pixels of the MS bands' sum, per tile of an
// area, read with a step that keeps the map near a million samples per band.
struct DetailMap {
    MsWindow area;
    int tile = 16;  // MS pixels per tile side
    int tilesAcross = 0;
    int tilesDown = 0;
    std::vector<double> detail;      // per tile, row by row
    std::vector<double> validShare;  // of the tile's pixels read, 0 … 1
};

// Maps area of the MS (every band; no data by rule). False when cancelled, or when a band could
// not be read (error: why).
bool MapDetail(const std::vector<SourceBand>& ms, const Validity& rule, const MsWindow& area,
               DetailMap& map, const std::function<bool()>& cancelled, std::string& error);

// The window of at most side × side MS pixels inside region (part of the map's area) with the
// most valid detail; region itself when it is no larger.
MsWindow BestWindow(const DetailMap& map, const MsWindow& region, int side);

}  // namespace lumesta
