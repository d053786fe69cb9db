#include "twips.h"

#include <QWidget>
#include <algorithm>
#include <cmath>

namespace platform {

double TwipsPerPixelAt(double dotsPerInch)
{
    return dotsPerInch > 0 && std::isfinite(dotsPerInch) ? 1440.0 / dotsPerInch : 15.0;
}

double PixelsToTwips(int pixels, double twipsPerPixel)
{
    return pixels * twipsPerPixel;
}

int TwipsToPixels(double twips, double twipsPerPixel)
{
    const double pixels = std::round(twips / twipsPerPixel);
    if (!std::isfinite(pixels))
        return 0;
    return static_cast<int>(std::clamp(pixels, -double(QWIDGETSIZE_MAX), double(QWIDGETSIZE_MAX)));
}

} // namespace platform
