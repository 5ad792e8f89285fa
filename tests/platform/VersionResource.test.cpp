#include "platform/VersionResource.h"

#include <gtest/gtest.h>

#include <cstring>

#include "support/TempDir.h"
#include "tools/PeWriter.h"

using namespace platform;

namespace {
TPeImageOptions ClientOptions(bool is64Bit) {
  TPeImageOptions options;
  options.Is64Bit = is64Bit;
  options.FileVersion = {7, 2, 0, 15};
  options.ProductVersion = {7, 2, 1, 0};
  options.StringTables = {{"041904E3",
                           {{"CompanyName", "Орвел"},
                            {"FileDescription", "Орвел Квело Клиент"},
                            {"Comments", ""},
                            {"ProductVersion", "7.2"}}}};
  return options;
}

void Put32(std::string& bytes, std::size_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<char>(value >> (8 * i));
}
void Put16(std::string& bytes, std::size_t offset, std::uint16_t value) {
  bytes[offset] = static_cast<char>(value);
  bytes[offset + 1] = static_cast<char>(value >> 8);
}

bool SameInfo(const TVersionInfo& a, const TVersionInfo& b) {
  auto fixed = [](const TVersionInfo& i) {
    return i.Fixed ? std::make_pair(i.Fixed->FileVersion, i.Fixed->ProductVersion)
                   : std::make_pair(TVersionNumbers{}, TVersionNumbers{});
  };
  auto translations = [](const TVersionInfo& i) {
    std::vector<std::string> keys;
    for (auto& t : i.Translations) keys.push_back(t.Key());
    return keys;
  };
  auto tables = [](const TVersionInfo& i) {
    std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>> all;
    for (auto& t : i.StringTables) all.emplace_back(t.Key, t.Strings);
    return all;
  };
  return a.Fixed.has_value() == b.Fixed.has_value() && fixed(a) == fixed(b) && translations(a) == translations(b) &&
         tables(a) == tables(b);
}
}  // namespace

TEST(VersionResource, ReadsBackNumbersTranslationAndStringsOf32And64BitImages) {
  for (bool is64Bit : {false, true}) {
    SCOPED_TRACE(is64Bit ? "PE32+" : "PE32");
    TTempDir dir;
    std::string file = dir.WriteFile("OKvelo.exe", BuildPeImage(ClientOptions(is64Bit)).Bytes);
    auto info = ReadVersionResource(file);
    ASSERT_TRUE(info);
    ASSERT_TRUE(info->Fixed);
    EXPECT_EQ(info->Fixed->FileVersion, (TVersionNumbers{7, 2, 0, 15}));
    EXPECT_EQ(info->Fixed->ProductVersion, (TVersionNumbers{7, 2, 1, 0}));
    ASSERT_EQ(info->Translations.size(), 1u);
    EXPECT_EQ(info->Translations[0].Language, 0x0419);
    EXPECT_EQ(info->Translations[0].CodePage, 1251);
    EXPECT_EQ(info->Translations[0].Key(), "041904E3");
    EXPECT_EQ(info->QueryString("041904E3", "FileDescription"), "Орвел Квело Клиент");
    EXPECT_EQ(info->QueryString("041904e3", "companyname"), "Орвел");  // the query ignores case
    EXPECT_EQ(info->QueryString("041904E3", "Comments"), "");          // present, empty
    EXPECT_EQ(info->QueryString("041904E3", "LegalCopyright"), std::nullopt);
    EXPECT_EQ(info->QueryString("040904E4", "CompanyName"), std::nullopt);
  }
}

TEST(VersionResource, TablesWithoutTranslationAndSeveralTables) {
  TPeImageOptions options;
  options.Is64Bit = true;
  options.FileVersion = {6, 9, 3, 1};
  options.StringTables = {{"040904E4", {{"CompanyName", "Orvel"}}}};
  options.WithTranslation = false;
  auto info = ParseVersionResource(BuildPeImage(options).Bytes);
  ASSERT_TRUE(info);
  EXPECT_TRUE(info->Translations.empty());
  EXPECT_EQ(info->Fixed->FileVersion, (TVersionNumbers{6, 9, 3, 1}));
  EXPECT_EQ(info->QueryString("040904E4", "CompanyName"), "Orvel");

  options.StringTables = {{"041904E3", {{"ProductName", "Квело"}}}, {"040904E4", {{"ProductName", "Kvelo"}}}};
  options.WithTranslation = true;
  options.Translations = {"040904E4", "041904E3"};
  info = ParseVersionResource(BuildPeImage(options).Bytes);
  ASSERT_TRUE(info);
  ASSERT_EQ(info->Translations.size(), 2u);
  EXPECT_EQ(info->Translations[0].Key(), "040904E4");  // in file order: the first one is the one to use
  EXPECT_EQ(info->QueryString("040904E4", "ProductName"), "Kvelo");
  EXPECT_EQ(info->QueryString("041904E3", "ProductName"), "Квело");
}

TEST(VersionResource, FilesWithoutVersionGiveNothing) {
  TTempDir dir;
  TPeImageOptions noResources;
  noResources.WithResources = false;
  EXPECT_FALSE(ReadVersionResource(dir.WriteFile("plain.exe", BuildPeImage(noResources).Bytes)));
  EXPECT_FALSE(ReadVersionResource(dir.WriteFile("readme.txt", "MZ, but only text")));
  EXPECT_FALSE(ReadVersionResource(dir.WriteFile("empty.exe", "")));
  EXPECT_FALSE(ReadVersionResource(dir.File("missing.exe")));
  EXPECT_FALSE(ReadVersionResource(dir.Path()));  // a folder
}

// Damage at the places a hostile file would aim at: the answer is "no version" or a partial block.
TEST(VersionResource, HostileStructuresAreBounded) {
  const TPeImage valid = BuildPeImage(ClientOptions(false));
  const std::size_t res = valid.ResourceOffset;
  const std::size_t ver = valid.VersionOffset;
  const std::size_t firstChild = ver + 92;  // after the header, "VS_VERSION_INFO" and VS_FIXEDFILEINFO
  struct Case {
    const char* what;
    void (*patch)(std::string&, std::size_t res, std::size_t ver, std::size_t child);
    bool hasVersion;
  };
  const Case cases[] = {
      {"PE header far outside", [](std::string& b, std::size_t, std::size_t, std::size_t) { Put32(b, 0x3C, 0xFFFFFFF0); }, false},
      {"65535 sections", [](std::string& b, std::size_t, std::size_t, std::size_t) { Put16(b, 0x86, 0xFFFF); }, false},
      {"huge optional header", [](std::string& b, std::size_t, std::size_t, std::size_t) { Put16(b, 0x94, 0xFFFF); }, false},
      {"type directory is the root", [](std::string& b, std::size_t r, std::size_t, std::size_t) { Put32(b, r + 20, 0x80000000); }, false},
      {"language level is a directory", [](std::string& b, std::size_t r, std::size_t, std::size_t) { Put32(b, r + 68, 0x80000000); }, false},
      {"65535 entries, none of them RT_VERSION", [](std::string& b, std::size_t r, std::size_t, std::size_t) {
         Put16(b, r + 12, 0xFFFF);
         Put16(b, r + 14, 0xFFFF);
         Put32(b, r + 16, 17);
       }, false},
      {"data size 4 GiB", [](std::string& b, std::size_t r, std::size_t, std::size_t) { Put32(b, r + 76, 0xFFFFFFFF); }, false},
      {"data outside the section", [](std::string& b, std::size_t r, std::size_t, std::size_t) { Put32(b, r + 72, 0x7FFFFF00); }, false},
      {"block longer than the data", [](std::string& b, std::size_t, std::size_t v, std::size_t) { Put16(b, v, 0xFFFF); }, false},
      {"child of length 0", [](std::string& b, std::size_t, std::size_t, std::size_t c) { Put16(b, c, 0); }, true},
      {"child longer than its parent", [](std::string& b, std::size_t, std::size_t, std::size_t c) { Put16(b, c, 0xFFF0); }, true},
      {"key without NUL", [](std::string& b, std::size_t, std::size_t, std::size_t c) {
         for (std::size_t i = c + 6; i < b.size(); i += 2) Put16(b, i, 'A');
       }, true},
      {"bad fixed signature", [](std::string& b, std::size_t, std::size_t v, std::size_t) { Put32(b, v + 40, 0); }, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::string bytes = valid.Bytes;
    c.patch(bytes, res, ver, firstChild);
    auto info = ParseVersionResource(bytes);
    EXPECT_EQ(info.has_value(), c.hasVersion);
  }
  std::string badSignature = valid.Bytes;
  Put32(badSignature, ver + 40, 0);
  auto info = ParseVersionResource(badSignature);
  ASSERT_TRUE(info);
  EXPECT_FALSE(info->Fixed);
  EXPECT_EQ(info->QueryString("041904E3", "CompanyName"), "Орвел");
}

TEST(VersionResource, CutsAndRandomCorruptionsNeverReadOutsideTheImage) {
  for (bool is64Bit : {false, true}) {
    const std::string valid = BuildPeImage(ClientOptions(is64Bit)).Bytes;
    const auto full = ParseVersionResource(valid);
    ASSERT_TRUE(full);
    // Each cut gets an exact-size copy, so that ASan sees a read past its end.
    for (std::size_t length = 0; length < valid.size(); ++length) {
      std::unique_ptr<char[]> cut(new char[length + 1]);
      std::memcpy(cut.get(), valid.data(), length);
      auto info = ParseVersionResource(std::string_view(cut.get(), length));
      if (info) {
        EXPECT_TRUE(SameInfo(*info, *full)) << "cut at " << length;  // only padding was cut
      }
    }
    std::uint32_t seed = is64Bit ? 7 : 11;
    for (int round = 0; round < 3000; ++round) {
      std::string corrupt = valid;
      for (int n = 0; n < 1 + round % 8; ++n) {
        seed = seed * 1103515245 + 12345;
        // Aim at the headers and the resource data, where the numbers are.
        std::size_t span = seed % 4 == 0 ? corrupt.size() : 0x200;
        std::size_t base = seed % 4 == 1 ? 0 : 0x400;
        corrupt[(base + (seed >> 8) % span) % corrupt.size()] = static_cast<char>(seed >> 24);
      }
      ParseVersionResource(corrupt);
    }
  }
}
