#pragma once

// Measures in twips (1/1440 inch), as the forms were designed and the settings store keeps
// window placements, converted with the screen's real pixels per inch: 15 twips to the pixel
// at 96 dots per inch.

namespace platform {

// Twips per pixel at this resolution; 15 when it is no measure (zero, negative, infinite).
double TwipsPerPixelAt(double dotsPerInch);

double PixelsToTwips(int pixels, double twipsPerPixel);
// Rounded to the nearest pixel and kept within what a widget can be given.
int TwipsToPixels(double twips, double twipsPerPixel);

} // namespace platform
