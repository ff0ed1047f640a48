#pragma once
// The tool menus of the main window and the image providers' web sites, in menu order.

#include <string>
#include <vector>

namespace lumesta {

// What a tool menu item opens. Items of one dialog differ only in the sensor the 16-bit
// pan-sharpening items preset (its Nyquist gains shape the MTF-matched methods).
enum class ToolDialogKind {
    Separator,
    BandCombination16,
    BandCombination8,
    PanSharpen16,
    PanSharpenEtm,
    Semivariance,
    ImageStatistics,
    HaarWavelet,
    FusionQuality
};

struct ToolMenuItem {
    const char* text;    // with its mnemonic
    const char* prompt;  // the status-bar prompt
    ToolDialogKind dialog;
    const char* sensor = nullptr;  // the --sensor name the dialog opens with, if any
};

struct ToolMenu {
    const char* title;
    std::vector<ToolMenuItem> items;
};

// Band Combination, Pan-Sharpening and Assessment Tools.
const std::vector<ToolMenu>& ToolMenus();

struct ImageSource {
    const char* text;     // with its mnemonic; nullptr marks a separator
    const char* address;  // the provider's web site
};

// The items of Help > Image Sources.
const std::vector<ImageSource>& ImageSources();

// The dialog whose jobs lumesta-cli runs as the tool named dialogKey ("pansharpen-etm"; "quality"
// for every protocol), or Separator for none.
ToolDialogKind DialogOfTool(const std::string& dialogKey);

// True for the dialogs this program has so far; the other items are shown disabled.
bool IsToolAvailable(ToolDialogKind dialog);

}  // namespace lumesta
