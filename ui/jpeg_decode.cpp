#include "ui/jpeg_decode.h"

#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <new>

#include <jpeglib.h>

namespace {

constexpr unsigned kMaxSide = 4096;  // far above any logo; keeps a bad header from a huge allocation

struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
};

void OnError(j_common_ptr info) { std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1); }

// Warnings (level -1) are counted and checked after decoding; trace messages are ignored. Nothing
// is ever formatted, so libjpeg's printf-based message code is not linked in.
void OnEmit(j_common_ptr info, int level) {
  if (level < 0) ++info->err->num_warnings;
}
void OnOutput(j_common_ptr) {}
void OnFormat(j_common_ptr, char* buffer) { buffer[0] = '\0'; }
void OnReset(j_common_ptr info) {
  info->err->num_warnings = 0;
  info->err->msg_code = 0;
}

// Owns the decompressor: destroyed however decoding ends, by a longjmp out of libjpeg or by an
// exception (no memory for the pixels). Destroying one that was never created does nothing.
struct Decompressor {
  explicit Decompressor(ErrorManager& errors) { cinfo.err = &errors.base; }
  Decompressor(const Decompressor&) = delete;
  Decompressor& operator=(const Decompressor&) = delete;
  ~Decompressor() { jpeg_destroy_decompress(&cinfo); }
  jpeg_decompress_struct cinfo{};
};

// setjmp lives here alone, with only trivially destructible locals between it and the longjmp.
// Creation is inside it too, since creation reports running out of memory through error_exit.
bool DecodeInto(jpeg_decompress_struct& cinfo, ErrorManager& errors, const std::uint8_t* data,
                std::size_t size, DecodedImage& out) {
  if (setjmp(errors.jump)) return false;
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
  if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK) return false;
  if (cinfo.image_width == 0 || cinfo.image_height == 0 || cinfo.image_width > kMaxSide ||
      cinfo.image_height > kMaxSide)
    return false;
  cinfo.out_color_space = JCS_EXT_BGRX;
  jpeg_start_decompress(&cinfo);
  if (cinfo.output_components != 4) return false;
  out.width = static_cast<int>(cinfo.output_width);
  out.height = static_cast<int>(cinfo.output_height);
  out.bgrx.assign(static_cast<std::size_t>(out.width) * out.height * 4, 0);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = out.bgrx.data() + static_cast<std::size_t>(cinfo.output_scanline) * out.width * 4;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  return errors.base.num_warnings == 0;  // a truncated file decodes with warnings
}

}  // namespace

bool DecodeJpeg(const std::uint8_t* data, std::size_t size, DecodedImage& out) {
  out = {};
  if (data == nullptr || size == 0) return false;
  ErrorManager errors{};
  // Our own error manager instead of jpeg_std_error(), whose defaults print.
  errors.base.error_exit = OnError;
  errors.base.emit_message = OnEmit;
  errors.base.output_message = OnOutput;
  errors.base.format_message = OnFormat;
  errors.base.reset_error_mgr = OnReset;
  bool ok = false;
  try {
    Decompressor decompressor(errors);
    ok = DecodeInto(decompressor.cinfo, errors, data, size, out);
  } catch (const std::bad_alloc&) {
    // Without memory for the pixels the window goes on without its picture.
  }
  if (!ok) out = {};
  return ok;
}
