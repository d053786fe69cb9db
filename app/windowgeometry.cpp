#include "windowgeometry.h"

#include <QScreen>
#include <QWidget>
#include <cmath>

namespace app {

TwipsPerPixel TwipsPerPixelAt(double dotsPerInchX, double dotsPerInchY)
{
    const auto scale = [](double dpi) { return dpi > 0 && std::isfinite(dpi) ? 1440.0 / dpi : 15.0; };
    return { scale(dotsPerInchX), scale(dotsPerInchY) };
}

TwipsPerPixel ScreenTwipsPerPixel(const QScreen *screen)
{
    if (!screen)
        return {};
    return TwipsPerPixelAt(screen->logicalDotsPerInchX(), screen->logicalDotsPerInchY());
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

TwipsRect ToTwips(const QRect &pixels, const TwipsPerPixel &scale)
{
    return { PixelsToTwips(pixels.x(), scale.x), PixelsToTwips(pixels.y(), scale.y),
        PixelsToTwips(pixels.width(), scale.x), PixelsToTwips(pixels.height(), scale.y) };
}

QRect ToPixels(const TwipsRect &twips, const TwipsPerPixel &scale)
{
    return { TwipsToPixels(twips.left, scale.x), TwipsToPixels(twips.top, scale.y), TwipsToPixels(twips.width, scale.x),
        TwipsToPixels(twips.height, scale.y) };
}

QString SingleText(double value)
{
    return QString::number(static_cast<float>(value), 'g', 7);
}

} // namespace app
