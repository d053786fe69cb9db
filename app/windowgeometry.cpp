#include "windowgeometry.h"

#include "platform/twips.h"

#include <QScreen>

namespace app {

TwipsPerPixel TwipsPerPixelAt(double dotsPerInchX, double dotsPerInchY)
{
    return { platform::TwipsPerPixelAt(dotsPerInchX), platform::TwipsPerPixelAt(dotsPerInchY) };
}

TwipsPerPixel ScreenTwipsPerPixel(const QScreen *screen)
{
    if (!screen)
        return {};
    return TwipsPerPixelAt(screen->logicalDotsPerInchX(), screen->logicalDotsPerInchY());
}

using platform::PixelsToTwips;
using platform::TwipsToPixels;

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
