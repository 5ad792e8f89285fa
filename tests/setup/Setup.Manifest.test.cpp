// The package manifest: what it lists, the paths it refuses, and every way a package can differ.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "Setup.Manifest.h"
#include "Setup.PackageEntries.h"
#include "support/TempDir.h"

namespace {

class PackageManifest : public ::testing::Test {
 protected:
  void SetUp() override {
    Package.WriteFile("settings.ini", "[links]\n");
    Package.WriteFile("QuentaSetupData/Client/Templates/Itog.xlt", "Итог 2015");
    Package.WriteFile("QuentaSetupData/Орвел-Квело/Нормативы/Сборник 01.txt", "Сборник");
    Package.WriteFile("QuentaSetupData/Орвел-Квело/Нормативы/linkname.txt", "Сборники");
    Package.MakeDir("QuentaSetupData/Орвел-Квело/Пустая папка");
    Package.WriteFile("quenta-setup", "not listed: the program is not copied");
  }
  TTempDir Package;
};

TEST_F(PackageManifest, ListsEveryItemInByteOrderAndReadsBackTheSame) {
  const TPackageManifest manifest = BuildPackageManifest(Package.Path(), "7.2.0.16");
  const std::string text = manifest.Text();
  EXPECT_TRUE(text.starts_with("quenta-setup manifest 1\nversion 7.2.0.16\nfolder QuentaSetupData/Client/Templates\n"))
      << text;
  EXPECT_NE(text.find("file 16 " + crypto::HexEncode(crypto::BytesOf(crypto::Sha256("Сборники"))) +
                      " QuentaSetupData/Орвел-Квело/Нормативы/linkname.txt\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nfolder QuentaSetupData/Орвел-Квело/Пустая папка\n"), std::string::npos);
  EXPECT_TRUE(text.ends_with(" settings.ini\n")) << text;
  EXPECT_EQ(text.find("quenta-setup\n"), std::string::npos);
  const TPackageManifest read = TPackageManifest::Parse(text);
  EXPECT_EQ(read.Text(), text);
  EXPECT_EQ(read.Version, "7.2.0.16");
  const TManifestEntry* itog = read.Find(TPackageEntry{"Templates/Itog.xlt", TPackageEntry::CommonPackage});
  ASSERT_NE(itog, nullptr);
  EXPECT_EQ(itog->Size, std::string("Итог 2015").size());
  EXPECT_EQ(itog->Sha256, crypto::Sha256("Итог 2015"));
  EXPECT_EQ(read.Find(TPackageEntry{"Templates/Itog.xlt", TPackageEntry::DocumentPackage}), nullptr);
  EXPECT_FALSE(FindPackageDifference(read, Package.Path(), true));
}

TEST_F(PackageManifest, EveryDifferenceIsNamedByItsKindAndPath) {
  const TPackageManifest manifest = BuildPackageManifest(Package.Path(), "1");
  using D = TPackageDifference;
  struct TCase {
    const char* Name;
    std::function<void(const TTempDir&)> Change;
    D::TKind Kind;
    std::string Path;
    bool SeenBySizes;  // without reading the contents
  };
  const std::vector<TCase> cases = {
      {"one byte", [](const TTempDir& p) { p.WriteFile("QuentaSetupData/Client/Templates/Itog.xlt", "Итог 2016"); },
       D::pdContent, "QuentaSetupData/Client/Templates/Itog.xlt", false},
      {"settings", [](const TTempDir& p) { p.WriteFile("settings.ini", "[links]\n1=x\n"); }, D::pdSize, "settings.ini", true},
      {"removed", [](const TTempDir& p) { std::filesystem::remove(p.File("QuentaSetupData/Орвел-Квело/Нормативы/linkname.txt")); },
       D::pdMissing, "QuentaSetupData/Орвел-Квело/Нормативы/linkname.txt", true},
      {"added", [](const TTempDir& p) { p.WriteFile("QuentaSetupData/Client/Templates/.hidden", ""); }, D::pdUnlisted,
       "QuentaSetupData/Client/Templates/.hidden", true},
      {"added folder", [](const TTempDir& p) { p.MakeDir("QuentaSetupData/Орвел-Квело/Новая"); }, D::pdUnlisted,
       "QuentaSetupData/Орвел-Квело/Новая", true},
      {"file for folder", [](const TTempDir& p) {
         std::filesystem::remove(p.File("QuentaSetupData/Орвел-Квело/Пустая папка"));
         p.WriteFile("QuentaSetupData/Орвел-Квело/Пустая папка", "");
       }, D::pdNotAFolder, "QuentaSetupData/Орвел-Квело/Пустая папка", true},
  };
  for (const TCase& c : cases) {
    TTempDir copy;
    std::filesystem::copy(Package.Path(), copy.Path(), std::filesystem::copy_options::recursive);
    c.Change(copy);
    const std::optional<D> difference = FindPackageDifference(manifest, copy.Path(), true);
    ASSERT_TRUE(difference) << c.Name;
    EXPECT_EQ(difference->Kind, c.Kind) << c.Name;
    EXPECT_EQ(difference->Path, c.Path) << c.Name;
    EXPECT_EQ(FindPackageDifference(manifest, copy.Path(), false).has_value(), c.SeenBySizes) << c.Name;
  }
}

// The copy's check, fed the blocks of a file as they pass: the listed bytes in any split match,
// one byte more, less or different does not.
TEST_F(PackageManifest, TheCopysHashCheckAcceptsExactlyTheListedBytes) {
  std::string bytes(3 * 65536 + 17, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7919 % 251);
  Package.WriteFile("QuentaSetupData/Client/big.bin", bytes);
  const TPackageManifest manifest = BuildPackageManifest(Package.Path(), "1");
  const TManifestEntry& entry = *manifest.Find(TPackageEntry{"big.bin", TPackageEntry::CommonPackage});
  auto check = [&](const std::string& data, std::size_t block) {
    TFileHashCheck hash(entry);
    for (std::size_t at = 0; at < data.size(); at += block) hash.Update(data.data() + at, std::min(block, data.size() - at));
    return hash.Matches();
  };
  EXPECT_TRUE(check(bytes, 65536));
  EXPECT_TRUE(check(bytes, 1000));
  std::string changed = bytes;
  changed[70000] ^= 1;
  EXPECT_FALSE(check(changed, 65536));
  EXPECT_FALSE(check(bytes + "x", 65536));
  EXPECT_FALSE(check(bytes.substr(1), 65536));
}

TEST(PackageManifestText, PathsLeavingThePackageAndMalformedLinesAreRefused) {
  const std::string head = "quenta-setup manifest 1\nversion 1\n";
  const std::string hash = std::string(64, 'a');
  for (const std::string& line : std::vector<std::string>{
           "file 1 " + hash + " ../x", "file 1 " + hash + " /etc/passwd", "folder QuentaSetupData/Client/../../x",
           "file 1 " + hash + " QuentaSetupData/Client/./a", "file 1 " + hash + " QuentaSetupData/Client//a",
           "file 1 " + hash + " QuentaSetupData/Client/a\\..\\..\\x", "file 1 " + hash + " QuentaSetupData/Client/",
           "file 1 " + hash + " elsewhere/a", "file 1 " + hash + " QuentaSetupData/Client/\xC0\xAF",
           "file 1 " + hash + " QuentaSetupData/Client/a\r", "file x " + hash + " settings.ini",
           "file 01 " + hash + " settings.ini", "file 1 " + std::string(64, 'g') + " settings.ini", "file 1 settings.ini",
           "link settings.ini", "file 1 " + hash + " settings.ini\nfolder settings.ini"}) {
    EXPECT_THROW(TPackageManifest::Parse(head + line + "\n"), EManifestError) << line;
  }
  for (const std::string& text : {std::string(), std::string("quenta-setup manifest 2\nversion 1\n"), head + "file 1",
                                  std::string("quenta-setup manifest 1\n")})
    EXPECT_THROW(TPackageManifest::Parse(text), EManifestError) << text;
  EXPECT_NO_THROW(TPackageManifest::Parse(head + "file 0 " + hash + " QuentaSetupData/Орвел-Квело/..а\n"));
}

}  // namespace
