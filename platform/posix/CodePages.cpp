#include "platform/CodePages.h"

#include <iconv.h>

#include <cerrno>

#include "Runtime.Exceptions.h"

namespace platform {
namespace {
const char* IconvName(int codePage) {
  switch (codePage) {
    case kUtf8CodePage: return "UTF-8";
    case kUtf16LECodePage: return "UTF-16LE";
    case 1251: return "CP1251";
    case 1252: return "CP1252";
    case 866: return "CP866";
    case 20127: return "ASCII";
    default: return nullptr;
  }
}

// Length of the input character that starts at `p`, so that a bad one is skipped whole.
std::size_t InputCharLength(const char* p, std::size_t left, int codePage) {
  if (codePage == kUtf16LECodePage) return left >= 2 ? 2 : left;
  if (codePage != kUtf8CodePage) return 1;
  auto b = static_cast<unsigned char>(*p);
  std::size_t n = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 1;
  return n > left ? 1 : n;
}

std::string Replacement(int codePage) { return codePage == kUtf16LECodePage ? std::string("?\0", 2) : "?"; }
}  // namespace

std::string ConvertCodePage(std::string_view bytes, int fromCodePage, int toCodePage) {
  const char* from = IconvName(fromCodePage);
  const char* to = IconvName(toCodePage);
  if (!from || !to) throw EConvertError(Format("Unsupported code page %d", from ? toCodePage : fromCodePage));
  if (fromCodePage == toCodePage) return std::string(bytes);
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) throw EConvertError(Format("Unsupported code page %d", toCodePage));
  std::string out;
  out.reserve(bytes.size() * 2);
  char buffer[4096];
  char* in = const_cast<char*>(bytes.data());
  std::size_t inLeft = bytes.size();
  while (inLeft > 0) {
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    std::size_t r = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
    if (r == static_cast<std::size_t>(-1)) {
      if (errno == E2BIG) continue;
      // EILSEQ (not representable or malformed) or EINVAL (truncated): one "?" for the character.
      std::size_t skip = InputCharLength(in, inLeft, fromCodePage);
      in += skip;
      inLeft -= skip;
      out += Replacement(toCodePage);
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  iconv_close(cd);
  return out;
}
}  // namespace platform
