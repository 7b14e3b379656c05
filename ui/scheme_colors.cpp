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
  // Dimmer than the text, and still plain to see: 2:1 is about where grey text fades out.
  if (ContrastRatio(grayText, background) >= 2.0) return grayText;
  Rgb mixed = 0;
  for (int shift = 0; shift < 24; shift += 8)
    mixed |= ((((text >> shift) & 0xFF) + ((background >> shift) & 0xFF)) / 2) << shift;
  return mixed;
}
