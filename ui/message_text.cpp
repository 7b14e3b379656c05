#include "ui/message_text.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendCodePoint(std::wstring& out, char32_t cp) {
  if constexpr (sizeof(wchar_t) == 2) {
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<wchar_t>(0xD800 + (cp >> 10));
      out += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
      return;
    }
  }
  out += static_cast<wchar_t>(cp);
}

}  // namespace

std::wstring WidenUtf8(std::string_view text) {
  std::wstring out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    size_t extra;
    char32_t cp, min;
    if (lead < 0x80) {
      out += static_cast<wchar_t>(lead);
      ++i;
      continue;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      extra = 1, cp = lead & 0x1F, min = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      extra = 2, cp = lead & 0x0F, min = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      extra = 3, cp = lead & 0x07, min = 0x10000;
    } else {
      AppendCodePoint(out, kReplacement);
      ++i;
      continue;
    }
    size_t n = 1;
    for (; n <= extra && i + n < text.size(); ++n) {
      const unsigned char c = static_cast<unsigned char>(text[i + n]);
      if ((c & 0xC0) != 0x80) break;
      cp = (cp << 6) | (c & 0x3F);
    }
    // A truncated or overlong sequence, a surrogate or a value past U+10FFFF is one replacement
    // for the bytes consumed so far; the byte that broke it starts afresh.
    const bool whole = n == extra + 1;
    if (!whole || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      AppendCodePoint(out, kReplacement);
    } else {
      AppendCodePoint(out, cp);
    }
    i += n;
  }
  return out;
}

std::wstring PathTipText(const std::wstring& opened, const std::wstring& failed) {
  if (failed.empty()) return opened;
  return L"Could not open " + failed + L"\r\n" +
         (opened.empty() ? L"No file is open." : L"The levels shown are from " + opened);
}

std::wstring ErrorBoxText(std::string_view message) {
  std::wstring text = WidenUtf8(message);
  // Byte order, not character class: "!" and "," sort before "." and stay as they are, while a
  // letter, a digit or any byte of a multibyte character gets the full stop.
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') text += L'.';
  return text;
}

std::wstring WrapPath(const std::wstring& text, const std::function<bool(const std::wstring& line)>& fits) {
  std::wstring wrapped, line, piece;
  auto putPiece = [&] {
    if (!fits(line + piece) && !line.empty()) {
      wrapped += line + L"\r\n";
      line.clear();
    }
    for (wchar_t c : piece) {  // a name wider than a line: broken where it reaches the edge
      if (!line.empty() && !fits(line + c)) {
        wrapped += line + L"\r\n";
        line.clear();
      }
      line += c;
    }
    piece.clear();
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 2, L"\r\n") == 0) {
      putPiece();
      wrapped += line + L"\r\n";
      line.clear();
      ++i;
      continue;
    }
    piece += text[i];
    if (text[i] == L'\\' || text[i] == L'/' || text[i] == L' ') putPiece();
  }
  putPiece();
  return wrapped + line;
}
