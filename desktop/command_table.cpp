#include "desktop/command_table.h"

namespace lumesta {

const std::vector<ToolMenu>& ToolMenus()
{
    using K = ToolDialogKind;
    static const std::vector<ToolMenu> menus = {
        {"&Band Combination",
         {{"&QuickBird", "Perform band combination - QuickBird images", K::BandCombination16},
          {"I&KONOS", "Perform band combination - IKONOS images", K::BandCombination16},
          {"&Orbview-3", "Perform band combination - OrbView-3 images", K::BandCombination16},
          {nullptr, nullptr, K::Separator},
          {"&Landsat ETM+", "Perform band combination - Landsat 7 ETM+ images", K::BandCombination8},
          {"&ASTER", "Perform band combination - ASTER images", K::BandCombination8},
          {"&MODIS", "Perform band combination - MODIS images", K::BandCombination8},
          {nullptr, nullptr, K::Separator},
          {"&SPOT", "Perform band combination - SPOT images", K::BandCombination8}}},
        {"&Pan-Sharpening",
         {{"&QuickBird", "Perform image fusion - QuickBird images", K::PanSharpen16, "quickbird"},
          {"I&KONOS", "Perform image fusion - IKONOS images", K::PanSharpen16, "ikonos"},
          {"&OrbView-3", "Perform image fusion - OrbView-3 images", K::PanSharpen16, "generic"},
          {"&WorldView-2", "Perform image fusion - WorldView-2 images", K::PanSharpen16,
           "worldview2"},
          {nullptr, nullptr, K::Separator},
          {"&Landsat ETM+", "Perform image fusion - Landsat 7 ETM+ images", K::PanSharpenEtm}}},
        {"&Assessment Tools",
         {{"&Geostatistical Semivariance", "Calculate semivariance of an input image",
           K::Semivariance},
          {"&Multi-Resolution Image Statistics",
           "Calculate image-based statistics at multiple spatial resolutions", K::ImageStatistics},
          {nullptr, nullptr, K::Separator},
          {"Haar &Wavelet Transforms", "Perform Haar wavelet transforms", K::HaarWavelet},
          {nullptr, nullptr, K::Separator},
          {"&Fusion Quality...", "Measure the quality of fused images", K::FusionQuality}}},
    };
    return menus;
}

const std::vector<ImageSource>& ImageSources()
{
    static const std::vector<ImageSource> sources = {
        {"&DigitalGlobe", "http://www.digitalglobe.com"},
        {"&Space Imaging", "http://www.spaceimaging.com"},
        {"&ORBIMAGE", "http://www.orbimage.com"},
        {"&ImageSat International", "http://www.imagesatintl.com"},
        {nullptr, nullptr},
        {"&Spot Image", "http://www.spotimage.com"},
        {"&Landsat 7", "http://landsat.gsfc.nasa.gov"},
        {"&USGS", "http://www.usgs.gov"},
        {"&NASA/JPL", "http://www.jpl.nasa.gov"},
        {"&Global Land Cover Facility", "http://glcf.umd.edu"},
    };
    return sources;
}

ToolDialogKind DialogOfTool(const std::string& dialogKey)
{
    using K = ToolDialogKind;
    static const std::pair<const char*, ToolDialogKind> kTools[] = {
        {"pansharpen", K::PanSharpen16},   {"pansharpen-etm", K::PanSharpenEtm},
        {"combine", K::BandCombination16}, {"combine8", K::BandCombination8},
        {"semivariance", K::Semivariance}, {"stats", K::ImageStatistics},
        {"haar", K::HaarWavelet},          {"quality", K::FusionQuality}};
    for (const auto& [tool, dialog] : kTools) {
        if (dialogKey == tool) return dialog;
    }
    return K::Separator;
}

bool IsToolAvailable(ToolDialogKind dialog)
{
    return dialog == ToolDialogKind::BandCombination16 ||
           dialog == ToolDialogKind::BandCombination8 || dialog == ToolDialogKind::PanSharpen16 ||
           dialog == ToolDialogKind::PanSharpenEtm ||
           dialog == ToolDialogKind::Semivariance || dialog == ToolDialogKind::ImageStatistics ||
           dialog == ToolDialogKind::HaarWavelet || dialog == ToolDialogKind::FusionQuality;
}

}  // namespace lumesta
