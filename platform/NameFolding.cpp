#include "platform/NameFolding.h"

#include <unicode/uchar.h>
#include <unicode/utf16.h>

#include "Runtime.Strings.h"

namespace platform {
std::string FoldName(std::string_view name) {
  bool ascii = true;
  for (char c : name) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (ascii) return UpperCase(name);
  std::u16string text = Utf8ToUtf16(name);
  std::u16string folded;
  folded.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    UChar32 c;
    U16_NEXT(text.data(), i, text.size(), c);
    UChar32 upper = u_toupper(c);
    if (U_IS_BMP(upper)) {
      folded += static_cast<char16_t>(upper);
    } else {
      folded += static_cast<char16_t>(U16_LEAD(upper));
      folded += static_cast<char16_t>(U16_TRAIL(upper));
    }
  }
  return Utf16ToUtf8(folded);
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() == b.size() && SameText(a, b)) return true;
  return FoldName(a) == FoldName(b);
}
std::u16string FileSystemOrderKey(std::string_view name) {
  std::u16string key = Utf8ToUtf16(name);
  for (char16_t& unit : key) {
    if (U16_IS_SURROGATE(unit)) continue;
    const UChar32 upper = u_toupper(unit);
    if (U_IS_BMP(upper)) unit = static_cast<char16_t>(upper);
  }
  return key;
}

}  // namespace platform
