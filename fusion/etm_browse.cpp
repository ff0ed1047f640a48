#include "fusion/etm_browse.h"

#include "fusion/pansharpen_browse_impl.h"

namespace lumesta {
namespace {

struct Browse8 {
    static constexpr bool kBatchListsHoldFileName = true;
    static constexpr int kBands = 3;
    static int ReadHeader(CImageInfo& info, const std::string& path, Host& host)
    {
        return info.ReadHeader8(path, host);
    }
    static bool IsMultiBand(int bands) { return bands >= 3; }
    static std::string BandName(const CImageInfo& info, int band) { return info.bandNames8[band]; }
};

}  // namespace

bool BrowseEtmPan(EtmJob& job, const std::string& path, Host& host)
{
    // A multi-band GeoTIFF pan is already refused by the 8-bit header reader.
    return browse::BrowsePan<Browse8>(job, path, host, std::string());
}

bool BrowseEtmBlue(EtmJob& job, const std::string& path, Host& host)
{
    return browse::BrowseBlue<Browse8>(job, path, host);
}

bool BrowseEtmOtherBand(EtmJob& job, int band, const std::string& path, Host& host)
{
    return browse::BrowseOtherBand(job, band, path, host);
}

void SelectEtmBand(EtmJob& job, int band, int index) { browse::SelectBand<Browse8>(job, band, index); }

void SetEtmSuffix(EtmJob& job, const std::string& suffix) { browse::SetSuffix(job, suffix); }

void ChooseEtmBmp(EtmJob& job, const std::string& path) { browse::ChooseBmp(job, path); }

}  // namespace lumesta
