// quenta-pack as a vendor runs it, with the keys and the checks of the real minisign both ways.

#include <gtest/gtest.h>

#include <string>

#include "platform/FileSystem.h"
#include "support/RunProgram.h"
#include "support/TempDir.h"

namespace {

class QuentaPack : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!platform::FileExists("/usr/bin/minisign")) GTEST_SKIP() << "minisign is not installed (Debian package minisign)";
    Dir.WriteFile("package/settings.ini", "[links]\n");
    Dir.WriteFile("package/QuentaSetupData/Client/Templates/Itog.xlt", "Итог 2015");
    Dir.WriteFile("package/QuentaSetupData/Орвел-Квело/Нормативы/Сборник 01.txt", "Сборник 2015");
  }
  // Runs a shell line in the test's folder, with "quenta-pack" naming the built tool.
  int Sh(const std::string& line) {
    return RunProgram({"/bin/bash", "-c", "cd '" + Dir.Path() + "' && quenta_pack='" KV_QUENTA_PACK "' && " + line},
                      Dir.File("out.txt"), Dir.File("err.txt"));
  }
  std::string Err() const { return Dir.ReadFile("err.txt"); }
  TTempDir Dir;
};

TEST_F(QuentaPack, KeysOfEitherToolSignWhatTheOtherVerifies) {
  // minisign's keys, unprotected and with a password, sign here; minisign checks the result.
  ASSERT_EQ(Sh("minisign -G -W -p plain.pub -s plain.key"), 0) << Err();
  ASSERT_EQ(Sh("printf 'секрет\\nсекрет\\n' | minisign -G -p locked.pub -s locked.key"), 0) << Err();
  EXPECT_EQ(Sh("$quenta_pack sign -s plain.key -V 7.2.0.16 package"), 0) << Err();
  EXPECT_NE(Dir.ReadFile("package/QuentaSetupData.manifest").find("version 7.2.0.16\n"), std::string::npos);
  EXPECT_EQ(Sh("minisign -Vm package/QuentaSetupData.manifest -p plain.pub"), 0) << Err();
  EXPECT_EQ(Sh("$quenta_pack verify -p plain.pub package"), 0) << Err();
  EXPECT_EQ(Sh("printf 'не тот\\n' | $quenta_pack sign -s locked.key package"), 1);
  EXPECT_NE(Err().find("wrong password"), std::string::npos) << Err();
  EXPECT_EQ(Sh("minisign -Vm package/QuentaSetupData.manifest -p plain.pub"), 0) << "a failed signing keeps the old files";
  EXPECT_EQ(Sh("printf 'секрет\\n' | $quenta_pack sign -s locked.key package"), 0) << Err();
  EXPECT_EQ(Sh("minisign -Vm package/QuentaSetupData.manifest -p locked.pub"), 0) << Err();

  // A key pair made here: minisign signs the manifest with it, and both check that signature.
  ASSERT_EQ(Sh("$quenta_pack keygen keys"), 0) << Err();
  EXPECT_EQ(Sh("$quenta_pack keygen keys"), 1) << "an existing key is never replaced";
  EXPECT_EQ(Sh("test \"$(stat -c %a keys/quenta.key)\" = 600"), 0);
  ASSERT_EQ(Sh("minisign -S -s keys/quenta.key -m package/QuentaSetupData.manifest"), 0) << Err();
  EXPECT_EQ(Sh("$quenta_pack verify -p keys/quenta.pub package"), 0) << Err();
  EXPECT_EQ(Sh("$quenta_pack sign -s keys/quenta.key package && minisign -Vm package/QuentaSetupData.manifest -p keys/quenta.pub"), 0)
      << Err();
}

TEST_F(QuentaPack, VerifyNamesTheFirstDifference) {
  ASSERT_EQ(Sh("$quenta_pack keygen a && $quenta_pack keygen b && $quenta_pack sign -s a/quenta.key package"), 0) << Err();
  struct TCase {
    std::string Change, Error;
  };
  for (const TCase& c : std::vector<TCase>{
           {"printf 'Итог 2016' > package/QuentaSetupData/Client/Templates/Itog.xlt",
            "contents differ: QuentaSetupData/Client/Templates/Itog.xlt"},
           {"rm package/settings.ini", "missing: settings.ini"},
           {"touch package/QuentaSetupData/Client/new.txt", "not in the manifest: QuentaSetupData/Client/new.txt"},
           {"sed -i 's/^version .*/version 8/' package/QuentaSetupData.manifest", "signature does not match"},
           {"cp b/quenta.pub a/quenta.pub", "not by"},
       }) {
    ASSERT_EQ(Sh("rm -rf copy a2 && cp -r package copy && cp -r a a2"), 0);
    EXPECT_EQ(Sh(c.Change + " && $quenta_pack verify -p a/quenta.pub package"), 1) << c.Change;
    EXPECT_NE(Err().find(c.Error), std::string::npos) << c.Change << ": " << Err();
    ASSERT_EQ(Sh("rm -rf package a && mv copy package && mv a2 a"), 0);
  }
  EXPECT_EQ(Sh("$quenta_pack verify -p a/quenta.pub package"), 0) << Err();
  EXPECT_EQ(Sh("$quenta_pack sign package"), 2);
  EXPECT_EQ(Sh("$quenta_pack frobnicate"), 2);
}

}  // namespace
