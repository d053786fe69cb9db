#pragma once

// Window measures in twips (1/1440 inch), as the settings store keeps them, converted with the
// screen's real pixels per inch: 15 twips to the pixel at 96 dots per inch.

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

double PixelsToTwips(int pixels, double twipsPerPixel);
// Rounded to the nearest pixel and kept within what a window can be given.
int TwipsToPixels(double twips, double twipsPerPixel);

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
