#pragma once
// Decodes the logo picture. No window system here: the caller turns the pixels into a bitmap.
#include <cstddef>
#include <cstdint>
#include <vector>

struct DecodedImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> bgrx;  // top-down rows, 4 bytes a pixel, the byte order of a 32-bit DIB
};

// False for anything but a clean decode: empty input, garbage, a truncated or oversized picture.
bool DecodeJpeg(const std::uint8_t* data, std::size_t size, DecodedImage& out);
