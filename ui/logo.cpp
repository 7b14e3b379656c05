#include "ui/logo.h"

#include <algorithm>
#include <cstdint>

#include "resources/resource_ids.h"
#include "ui/jpeg_decode.h"

namespace {

// The picture is a badge drawn on white. In each row the white left and right of the badge is
// background, and so is the light share of the pixels where the badge fades into it: both take
// the new background, so on a dark scheme the badge does not sit in a white square. White inside
// the badge stays.
void SetOnBackground(DecodedImage& image, COLORREF background) {
  constexpr int kBadge = 80;  // the darkest channel of the badge's own colours is below this
  constexpr int kInk = 40;    // ... and about this, where the light share is nothing
  const int bgr[3] = {GetBValue(background), GetGValue(background), GetRValue(background)};
  auto blend = [&](std::uint8_t* p) {  // false at the badge
    int lightest = std::min({p[0], p[1], p[2]});
    if (lightest < kBadge) return false;
    int light = (lightest - kInk) * 256 / (255 - kInk);  // the light share, in 256ths
    for (int c = 0; c < 3; ++c)
      p[c] = static_cast<std::uint8_t>(std::clamp(p[c] + (bgr[c] - 255) * light / 256, 0, 255));
    return true;
  };
  for (int y = 0; y < image.height; ++y) {
    std::uint8_t* row = &image.bgrx[static_cast<std::size_t>(y) * image.width * 4];
    int x = 0;
    while (x < image.width && blend(row + 4 * x)) ++x;
    for (int right = image.width - 1; right > x && blend(row + 4 * right); --right) {
    }
  }
}

}  // namespace

UniqueBitmap LoadLogo(HINSTANCE instance, COLORREF background) {
  HRSRC info = FindResourceW(instance, MAKEINTRESOURCEW(IDR_LOGO), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
  HGLOBAL data = info ? LoadResource(instance, info) : nullptr;
  const void* bytes = data ? LockResource(data) : nullptr;
  DecodedImage image;
  if (!bytes || !DecodeJpeg(static_cast<const std::uint8_t*>(bytes), SizeofResource(instance, info), image))
    return {};
  if (background != RGB(255, 255, 255)) SetOnBackground(image, background);

  BITMAPINFO bmi{};
  bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
  bmi.bmiHeader.biWidth = image.width;
  bmi.bmiHeader.biHeight = -image.height;  // top-down, as decoded
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  bmi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  UniqueBitmap bitmap(CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (bitmap) std::copy(image.bgrx.begin(), image.bgrx.end(), static_cast<std::uint8_t*>(bits));
  return bitmap;
}
