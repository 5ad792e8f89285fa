#include "Setup.LinkNames.h"

#include <gtest/gtest.h>

#include <string>

#include "support/TempDir.h"

namespace {
std::string Utf16(std::u16string_view text, bool bigEndian) {
  std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (char16_t c : text) {
    char hi = static_cast<char>(c >> 8), lo = static_cast<char>(c & 0xFF);
    bytes += bigEndian ? hi : lo;
    bytes += bigEndian ? lo : hi;
  }
  return bytes;
}

struct TNameFileCase {
  const char* What;
  std::string Bytes;
  std::string Name;  // the shortcut name of the installed folder "Нормативы"
};

// An installed folder "Нормативы" whose package copy carries the name file.
class LinkNames : public ::testing::Test {
 protected:
  std::string Target() const { return Dir.MakeDir("installed/Нормативы"); }
  std::string PackagePath() const { return Dir.MakeDir("package/Нормативы"); }
  TTempDir Dir;
};
}  // namespace

TEST_F(LinkNames, NameFileEncodingsAndLines) {
  const std::vector<TNameFileCase> cases = {
      {"UTF-8 with BOM", "\xEF\xBB\xBFСборники нормативов\r\n", "Сборники нормативов"},
      {"UTF-8 without BOM", "Сборники нормативов\n", "Сборники нормативов"},
      {"UTF-16 LE", Utf16(u"Сборники нормативов\r\nвторая", false), "Сборники нормативов"},
      {"UTF-16 BE", Utf16(u"Сборники нормативов", true), "Сборники нормативов"},
      // "Сборник" in Windows-1251: not valid UTF-8.
      {"Windows-1251", "\xD1\xE1\xEE\xF0\xED\xE8\xEA\r\n", "Сборник"},
      {"ASCII", "Norms", "Norms"},
      {"only the first line counts", "First\rSecond\nThird", "First"},
      {"empty file", "", "Нормативы"},
      {"empty first line", "\r\nSecond", "Нормативы"},
      {"BOM alone", "\xFF\xFE", "Нормативы"},
      // An overlong "/" and an encoded surrogate are not UTF-8: read as Windows-1251.
      {"overlong form", "\xC0\xAF", "АЇ"},
      {"surrogate", "\xED\xA0\x80", "н\u00A0Ђ"},
  };
  for (const TNameFileCase& c : cases) {
    SCOPED_TRACE(c.What);
    Dir.WriteFile("package/Нормативы/linkname.txt", c.Bytes);
    EXPECT_EQ(ShortcutName(Target(), PackagePath()), c.Name);
  }
}

TEST_F(LinkNames, ItemsWithoutNameFileAreNamedAsOnDisk) {
  // A folder without a name file.
  EXPECT_EQ(ShortcutName(Target(), PackagePath()), "Нормативы");
  // A file keeps its extension.
  std::string readme = Dir.WriteFile("installed/Readme.txt", "x");
  EXPECT_EQ(ShortcutName(readme, Dir.File("package/Readme.txt")), "Readme.txt");
  // A folder that was never installed is named as a file would be: its name file is not read.
  Dir.WriteFile("package/Empty/linkname.txt", "Never read");
  EXPECT_EQ(ShortcutName(Dir.File("installed/Empty"), Dir.File("package/Empty")), "Empty");
}
