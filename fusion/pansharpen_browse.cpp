#include "fusion/pansharpen_browse.h"

#include "fusion/pansharpen_browse_impl.h"

namespace lumesta {
namespace {

struct Browse16 {
    static constexpr bool kBatchListsHoldFileName = false;
    static constexpr int kBands = 4;
    static int ReadHeader(CImageInfo& info, const std::string& path, Host& host)
    {
        return info.ReadHeader16(path, host);
    }
    static bool IsMultiBand(int bands) { return bands == 4; }
    static std::string BandName(const CImageInfo& info, int band) { return info.bandNames4[band]; }
};

}  // namespace

bool BrowsePan(PanSharpenJob& job, const std::string& path, Host& host)
{
    return browse::BrowsePan<Browse16>(job, path, host,
                                       "GeoTIFF image: Only a single band is allowed in Pan file.");
}

bool BrowseBlue(PanSharpenJob& job, const std::string& path, Host& host)
{
    return browse::BrowseBlue<Browse16>(job, path, host);
}

bool BrowseOtherBand(PanSharpenJob& job, int band, const std::string& path, Host& host)
{
    return browse::BrowseOtherBand(job, band, path, host);
}

void SelectBand(PanSharpenJob& job, int band, int index)
{
    browse::SelectBand<Browse16>(job, band, index);
}

void SetSuffix(PanSharpenJob& job, const std::string& suffix) { browse::SetSuffix(job, suffix); }

void ChooseBmp(PanSharpenJob& job, const std::string& path) { browse::ChooseBmp(job, path); }

}  // namespace lumesta
