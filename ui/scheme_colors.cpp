#include "ui/scheme_colors.h"

#include <cmath>

namespace {

double Channel(Rgb color, int shift) {
  double c = ((color >> shift) & 0xFF) / 255.0;
  return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(Rgb color) {
  return 0.2126 * Channel(color, 0) + 0.7152 * Channel(color, 8) + 0.0722 * Channel(color, 16);
}

bool LightOnDark(Rgb text, Rgb background) { return Luminance(text) > Luminance(background); }

}  // namespace

double ContrastRatio(Rgb a, Rgb b) {
  double la = Luminance(a), lb = Luminance(b);
  return la > lb ? (la + 0.05) / (lb + 0.05) : (lb + 0.05) / (la + 0.05);
}

bool FollowsScheme(const SchemeColors& scheme, bool highContrast) {
  return highContrast || LightOnDark(scheme.windowText, scheme.window) ||
         LightOnDark(scheme.buttonText, scheme.buttonFace);
}

Rgb DisabledTextColor(Rgb grayText, Rgb text, Rgb background) {
  // Dimmer than the text, and still readable at 3:1: the grey moved towards the text only as far
  // as that takes.
  Rgb mixed = grayText;
  for (unsigned step = 1; step <= 16 && ContrastRatio(mixed, background) < 3.0; ++step) {
    mixed = 0;
    for (int shift = 0; shift < 24; shift += 8) {
      const unsigned from = (grayText >> shift) & 0xFF, to = (text >> shift) & 0xFF;
      mixed |= ((from * (16 - step) + to * step) / 16) << shift;
    }
  }
  return mixed;
}
