#pragma once

// The main window's placement in twips (platform/twips.h), as the settings store keeps it.

#include <QRect>
#include <QString>

class QScreen;

namespace app {

struct TwipsPerPixel {
    double x = 15.0;
    double y = 15.0;
};

// The screen's twips per pixel; 15 each way when there is no screen.
TwipsPerPixel ScreenTwipsPerPixel(const QScreen *screen);
TwipsPerPixel TwipsPerPixelAt(double dotsPerInchX, double dotsPerInchY);

// Outer bounds of a window in twips: left, top, width, height.
struct TwipsRect {
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
};

TwipsRect ToTwips(const QRect &pixels, const TwipsPerPixel &scale);
QRect ToPixels(const TwipsRect &twips, const TwipsPerPixel &scale);

// A measure as the store keeps it: the decimal text of a single-precision number ("9435", "10.5").
QString SingleText(double value);

// The least outer size of the main window, in pixels.
inline constexpr int MINIMUM_WIDTH_PIXELS = 300;
inline constexpr int MINIMUM_HEIGHT_PIXELS = 155;

} // namespace app
