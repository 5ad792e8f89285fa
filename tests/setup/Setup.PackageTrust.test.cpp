// Which keys the machine trusts, and what the check says and logs for a package signed or not.

#include <gtest/gtest.h>

#include <string>

#include "SetupTestSupport.h"
#include "Setup.PackageTrust.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

namespace {

void SignPackage(const TTempDir& package, const TMinisignSecretKey& key) {
  const std::string manifest = BuildPackageManifest(package.Path(), "7.2").Text();
  package.WriteFile(ManifestFileName, manifest);
  package.WriteFile(ManifestSignatureFileName, MinisignSignatureText(key, manifest, "file:QuentaSetupData.manifest"));
}

TEST(PackageTrust, KeysComeFromThePubFilesOfTheFolderAndABrokenOneStillCounts) {
  TTempDir folder;
  const TMinisignKeyPair key = NewMinisignKeyPair();
  folder.WriteFile("vendor.pub", MinisignPublicKeyText(key.Public));
  folder.WriteFile("vendor.key", "not a key, not a .pub");
  folder.WriteFile("broken.pub", "untrusted comment: cut\n");
  TScopedEnv env(TrustedKeysFolderVariable, folder.Path());
  std::vector<TTrustedKey> keys = TrustedKeys();
  std::sort(keys.begin(), keys.end(), [](const TTrustedKey& a, const TTrustedKey& b) { return a.Source < b.Source; });
  ASSERT_EQ(keys.size(), 2u);
  EXPECT_FALSE(keys[0].Key);
  EXPECT_NE(keys[0].Fault, "");
  ASSERT_TRUE(keys[1].Key);
  EXPECT_EQ(keys[1].Key->Id, key.Public.Id);

  TScopedEnv none(TrustedKeysFolderVariable, folder.File("missing"));
  EXPECT_TRUE(TrustedKeys().empty());
}

TEST(PackageTrust, SaysInOneLineWhetherThePackageWasVerifiedAndShowsARefusal) {
  TTempDir package, folder;
  package.WriteFile("QuentaSetupData/Client/a.txt", "a");
  const TMinisignKeyPair key = NewMinisignKeyPair();
  SignPackage(package, key.Secret);
  TScopedEnv env(TrustedKeysFolderVariable, folder.Path());
  {
    TRecordingHost host;
    EXPECT_EQ(CheckPackage(host, package.Path(), true).Outcome, TPackageCheck::pcNotVerified);
    EXPECT_EQ(host.Lines, std::vector<std::string>{"Пакет обновления не проверен: на компьютере нет доверенных ключей."});
  }
  folder.WriteFile("vendor.pub", MinisignPublicKeyText(key.Public));
  {
    TRecordingHost host;
    const TPackageCheck check = CheckPackage(host, package.Path(), true);
    EXPECT_EQ(check.Outcome, TPackageCheck::pcVerified);
    ASSERT_TRUE(check.Manifest);
    EXPECT_NE(check.Manifest->Find("QuentaSetupData/Client/a.txt"), nullptr);
    EXPECT_EQ(host.Lines, std::vector<std::string>{"Пакет обновления проверен: подписан доверенным ключом " +
                                                   KeyIdText(key.Public.Id) + ", версия пакета 7.2."});
    EXPECT_TRUE(host.Boxes.empty());
  }
  package.WriteFile("QuentaSetupData/Client/a.txt", "b");
  TRecordingHost host;
  EXPECT_TRUE(CheckPackage(host, package.Path(), true).Refused());
  EXPECT_EQ(host.Errors, std::vector<std::string>{
                             "Пакет обновления поврежден или не подписан доверенным ключом: изменено содержимое файла "
                             "\"QuentaSetupData/Client/a.txt\".\r\nОбновление не выполнено, файлы не изменены."});
}

}  // namespace
