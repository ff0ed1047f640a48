#include "fusion/fusion_validation.h"

namespace lumesta {

bool PanSizeAcceptable(int width, int height, Host& host)
{
    // Negative sizes (typed, or from a damaged header) are refused like missing ones.
    if (width <= 0 || height <= 0) {
        host.ShowMessage("Please input width and height.");
        return false;
    }
    if (width < 512 && height < 512) {
        host.ShowMessage("Image size is too small; the minimum size is 512*512.");
        return false;
    }
    if (width > 40000 && height > 40000) {
        host.ShowMessage(
            "Image size is too big; If you wish to have this limit relaxed, please contact developer.");
        return false;
    }
    return true;
}

}  // namespace lumesta
