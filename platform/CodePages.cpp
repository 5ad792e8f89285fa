#include "platform/CodePages.h"

#include <utility>

namespace platform {

bool IsValidUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    auto b = static_cast<unsigned char>(text[i]);
    std::size_t length;
    char32_t min;
    char32_t cp;
    if (b < 0x80) {
      ++i;
      continue;
    } else if ((b & 0xE0) == 0xC0) {
      length = 2, min = 0x80, cp = b & 0x1F;
    } else if ((b & 0xF0) == 0xE0) {
      length = 3, min = 0x800, cp = b & 0x0F;
    } else if ((b & 0xF8) == 0xF0) {
      length = 4, min = 0x10000, cp = b & 0x07;
    } else {
      return false;
    }
    if (i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      auto c = static_cast<unsigned char>(text[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += length;
  }
  return true;
}

namespace {
std::string SwapBytePairs(std::string_view bytes) {
  std::string swapped(bytes);
  for (std::size_t i = 0; i + 1 < swapped.size(); i += 2) std::swap(swapped[i], swapped[i + 1]);
  return swapped;
}
}  // namespace

std::string DecodeText(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) return std::string(bytes.substr(3));
  if (bytes.starts_with("\xFF\xFE")) return ConvertCodePage(bytes.substr(2), kUtf16LECodePage, kUtf8CodePage);
  if (bytes.starts_with("\xFE\xFF"))
    return ConvertCodePage(SwapBytePairs(bytes.substr(2)), kUtf16LECodePage, kUtf8CodePage);
  if (IsValidUtf8(bytes)) return std::string(bytes);
  return AnsiToUtf8(bytes);
}

}  // namespace platform
